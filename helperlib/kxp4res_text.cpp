// Byte-wise text helpers and the operating-system name.
#include "helperlib/include/kxp4res_api.h"
#include "helperlib/kxp4res_buffers.h"

#include "core/Cp932.h"

#include <QSysInfo>
#include <cstring>

extern "C" {

KXP4_API int32_t KXP4_CALL LenB_ASCII(const char *text)
{
    if (!text)
        return 0;
    const size_t n = std::strlen(text);
    return n > INT32_MAX ? INT32_MAX : static_cast<int32_t>(n);
}

KXP4_API const char *KXP4_CALL MidB_ASCII(const char *text, int32_t start, int32_t count)
{
    // Bytes as they are: a range that cuts a two-byte character in half
    // returns the half, which the stop-name display relies on. A start before
    // the first byte or a negative count yields the empty text.
    std::string &out = kxp4res::resultBuffer(kxp4res::BufMidB);
    out.clear();
    if (!text || start < 1 || count <= 0)
        return out.c_str();
    const size_t len = std::strlen(text);
    const size_t from = static_cast<size_t>(start) - 1;
    if (from >= len)
        return out.c_str();
    out.assign(text + from, std::min(len - from, static_cast<size_t>(count)));
    return out.c_str();
}

KXP4_API const char *KXP4_CALL GetOsInfo(void)
{
    std::string &out = kxp4res::resultBuffer(kxp4res::BufOsInfo);
    out = cp932::encode(QSysInfo::prettyProductName()).toStdString();
    return out.c_str();
}

} // extern "C"
