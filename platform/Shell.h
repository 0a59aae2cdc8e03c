#pragma once
// The shell's "Open" verb: shows a file or folder in the desktop's own
// program for it (a folder opens in the file manager). Tests record the
// requests instead of starting anything.
#include <QString>
#include <functional>

namespace platform {

// A relative path is taken from the executable's folder. Returns whether the
// desktop accepted the request; callers may ignore it.
bool shellOpen(const QString &path);

// Replaces the desktop for tests; an empty function restores it.
void setShellOpenHandler(std::function<bool(const QString &absolutePath)> handler);

} // namespace platform
