#pragma once
// Paths as the users' Windows desktops find them, where the program starts in
// its own folder: a relative path is taken from the executable's folder, and
// a file name matches whatever its letter case.
//
// An installed program's folder cannot be written: there a relative path is
// looked for first in the user's data folder (where the user's own routes
// and imports go) and then beside the executable (the packaged demo).
#include <QString>
#include <QStringList>

namespace platform {

// The folder's path joined with a separator, unless it is empty or already
// ends in one ("\" or "/").
QString withSeparator(const QString &folder);

// Where relative paths are taken from: `read` in the order they are looked
// in, `write` the one new files go to.
struct DataRoots {
    QStringList read;
    QString write;
};
DataRoots dataRoots(const QString &exeDir, const QString &userDir, bool exeDirWritable);
// This program's: the executable's folder, and for an installed program the
// platform's per-user data folder (~/.local/share/Soratobi4 on Linux).
DataRoots dataRoots();

// The existing file a path names, found as described above; empty when there
// is none. Wildcard characters are part of the name, never a pattern.
QString findFile(const QString &path);
QString findFile(const QString &path, const QStringList &roots);

// The folder a relative folder of the options names for writing (an empty
// one is the root itself); an absolute one as it is.
QString writableFolder(const QString &folder);
QString writableFolder(const QString &folder, const QString &root);

} // namespace platform
