#include "core/FileIo.h"

#include "core/VbError.h"

#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

namespace fileio {

bool isRegularFile(const QString &path)
{
    // QFileInfo follows links, and isFile() is true for regular files only.
    return QFileInfo(path).isFile();
}

Read readRegular(const QString &path, qint64 maxBytes)
{
    const QFileInfo info(path);
    if (!info.exists()) // a dangling link too
        return {vb::ErrFileNotFound, {}};
    if (!info.isFile())
        return {vb::ErrPathFileAccess, {}};
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {vb::ErrPathFileAccess, {}};
    try {
        // Never more than the bound, and no buffer of the bound's size for a
        // small file: a regular file's size is honest, one byte more shows
        // whether it grew.
        const qint64 want = std::min(std::max<qint64>(maxBytes, 0), f.size()) + 1;
        QByteArray bytes = f.read(want);
        if (f.error() != QFileDevice::NoError)
            return {vb::ErrDeviceIO, {}};
        return {0, std::move(bytes)};
    } catch (const std::bad_alloc &) {
        return {vb::ErrOutOfMemory, {}};
    }
}

int writeWhole(const QString &path, const QByteArray &bytes, const WriteHooks &hooks)
{
    QSaveFile file(path);
    // A folder, a read-only file, a missing folder or a name the system
    // refuses: the file cannot be made at all.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return vb::ErrPathFileAccess;
    const qint64 written = hooks.write ? hooks.write(file, bytes) : file.write(bytes);
    // Unbuffered, a write that stops short is a full disk, seen here and not
    // in a flush that the commit would ignore. The file's own size is checked
    // too: a seam or a device may report more than it kept.
    if (written != bytes.size() || file.error() != QFileDevice::NoError || !file.flush()
        || file.size() != bytes.size()) {
        file.cancelWriting();
        return vb::ErrDeviceIO;
    }
    // The commit syncs the new file, then renames it over the old one.
    const bool committed = hooks.commit ? hooks.commit(file) : file.commit();
    return committed ? 0 : int(vb::ErrPathFileAccess);
}

} // namespace fileio
