#pragma once
// Reading and writing whole files so that no file can hang, flood or lose
// data: a reader takes only regular files and at most its bound, a writer
// puts the new file in place only when every byte of it is on disk.
#include <QByteArray>
#include <QString>
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

} // namespace fileio
