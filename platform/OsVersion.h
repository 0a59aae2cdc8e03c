#pragma once
// The operating-system version as the Windows version call reports it.
namespace platform {

struct OsVersionInfo {
    int platformId = 2; // 1 = the Windows 95/98/Me family, 2 = the NT family
    int majorVersion = 10;
    int minorVersion = 0;
};

OsVersionInfo osVersion();

} // namespace platform
