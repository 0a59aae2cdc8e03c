#include "platform/HeapUse.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define S4_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define S4_ASAN 1
#endif

#if defined(S4_ASAN)
#include <cstddef>
// The sanitizer runtime's own count (GCC ships the function without its header).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#elif defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 33))
#include <malloc.h>
#define S4_MALLINFO2 1
#endif

namespace platform {

qint64 heapInUse()
{
#if defined(S4_ASAN)
    // The sanitizer's allocator replaces malloc: its own count of live bytes.
    return qint64(__sanitizer_get_current_allocated_bytes());
#elif defined(S4_MALLINFO2)
    const struct mallinfo2 m = mallinfo2();
    return qint64(m.uordblks + m.hblkhd);
#else
    return -1;
#endif
}

} // namespace platform

#include <QFile>

namespace platform {

qint64 peakResident()
{
#if defined(Q_OS_LINUX)
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.read(64 * 1024).split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
#endif
    return -1;
}

} // namespace platform
