#pragma once
// How many bytes the process holds on its heap right now: what a memory
// check compares before and during a read. -1 where it cannot be known.
#include <QtGlobal>

namespace platform {

qint64 heapInUse();

} // namespace platform

namespace platform {

// The most memory the process has held resident since it started (its
// high-water mark), in bytes; -1 where it cannot be known.
qint64 peakResident();

} // namespace platform
