#include "platform/Screen.h"

#include <QByteArray>
#include <QtGlobal>

namespace platform {

void chooseScreenTransfer()
{
    // Qt looks only at whether the variable is there, not at its value.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", QByteArrayLiteral("1"));
}

} // namespace platform
