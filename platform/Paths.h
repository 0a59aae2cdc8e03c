#pragma once
// Paths as the users' Windows desktops find them, where the program starts in
// its own folder: a relative path is taken from the executable's folder, and
// a file name matches whatever its letter case.
#include <QString>

namespace platform {

// The folder's path joined with a separator, unless it is empty or already
// ends in one ("\" or "/").
QString withSeparator(const QString &folder);

// The existing file a path names, found as described above; empty when there
// is none. Wildcard characters are part of the name, never a pattern.
QString findFile(const QString &path);

} // namespace platform
