#pragma once
// Reading and writing whole files so that no file can hang, flood or lose
// data: a reader takes only regular files and at most its bound, a writer
// puts the new file in place only when every byte of it is on disk.
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class QIODevice;
class QSaveFile;

namespace fileio {

// What a read found: 0 and the bytes, or the error's number (53 nothing
// there, 75 not a regular file or not readable, 57 a read that failed).
struct Read {
    int error = 0;
    QByteArray bytes;
};

// True when path names a regular file, links followed. A device, FIFO,
// socket or folder is not one: /dev/zero never ends and a FIFO blocks the
// open until someone writes to it.
bool isRegularFile(const QString &path);

// At most maxBytes + 1 bytes of the regular file at path, so that a caller
// sees a file longer than its bound without reading it all. Anything but a
// regular file is refused before it is opened.
Read readRegular(const QString &path, qint64 maxBytes);

// The regular file at path in chunks of 64 KB, for a reader that bounds
// what it takes itself (and may throw from chunk to stop). Answers 0 or the
// error's number as readRegular.
int streamRegular(const QString &path, const std::function<void(QByteArrayView)> &chunk);

// Seams for the tests: the write of the bytes (answers how many were
// written, as QIODevice::write does) and the final commit.
struct WriteHooks {
    std::function<qint64(QIODevice &, const QByteArray &)> write;
    std::function<bool(QSaveFile &)> commit;
};

// Writes bytes as the whole new content of path: into a new file beside the
// old one, unbuffered so that a full disk is seen at the write, its size
// checked, flushed, synced and only then renamed over the old file. Answers
// 0, 75 when the file cannot be created or put in place (a folder or a
// read-only file of that name, a missing folder), or 57 when the bytes did
// not all reach the disk (a full disk). On failure the old file is as it was.
int writeWhole(const QString &path, const QByteArray &bytes, const WriteHooks &hooks = {});

// Files that belong together (a route's fare file, stops file and
// announcement lists) written as one: each into a temporary file beside its
// own first, as writeWhole does; only when all are complete are they renamed
// into place, the old files set aside until the last rename has succeeded.
// A failure anywhere leaves every old file as it was, and no temporary file.
struct FileWrite {
    QString path;
    QByteArray bytes;
};
struct GroupHooks {
    WriteHooks write;                                                // of each temporary file
    std::function<bool(const QString &from, const QString &to)> rename; // answers whether it did
};
struct GroupResult {
    int error = 0;          // 0 every file is the new one; else as writeWhole
    QString failed;         // the file whose write or rename failed
    QStringList notRestored; // after a failure: files left new or missing because putting the old one back failed too,
    QStringList aside;       // and where each of their old files still waits
    bool allOld() const { return error != 0 && notRestored.isEmpty(); }
};
GroupResult writeGroup(const QList<FileWrite> &files, const GroupHooks &hooks = {});

} // namespace fileio
