#pragma once
// Text results live in per-export, per-thread buffers owned by the library:
// valid until the next call of the same export on the same thread.
#include <string>

namespace kxp4res {

enum Buffer { BufMidB, BufOsInfo, BufFileDlg, BufFolderDlg, BufCount };

inline std::string &resultBuffer(Buffer which)
{
    thread_local std::string buffers[BufCount];
    return buffers[which];
}

} // namespace kxp4res
