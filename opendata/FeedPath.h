#pragma once
// A feed named by a path: a .zip as operators publish it, or the folder it
// was unpacked into. The files are read with the program's bounded reader.
#include "opendata/Feed.h"

namespace opendata {

constexpr qint64 kMaxZipBytes = qint64(512) << 20;

// Error 53 when nothing is there, 75 for what cannot be read, 7 past the
// bound; the archive's own checks as Feed::fromZip.
Feed openFeed(const QString &path, FeedLimits limits = {});

} // namespace opendata
