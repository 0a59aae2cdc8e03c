#include "platform/OsVersion.h"

#include <QOperatingSystemVersion>

namespace platform {

OsVersionInfo osVersion()
{
    OsVersionInfo v;
    const auto cur = QOperatingSystemVersion::current();
    if (cur.type() == QOperatingSystemVersion::Windows) {
        v.majorVersion = cur.majorVersion();
        v.minorVersion = cur.minorVersion();
    }
    // Every other system counts as a current member of the NT family.
    return v;
}

} // namespace platform
