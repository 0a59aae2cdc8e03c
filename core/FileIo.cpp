#include "core/FileIo.h"

#include "core/VbError.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <algorithm>
#include <filesystem>
#include <system_error>

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

int streamRegular(const QString &path, const std::function<void(QByteArrayView)> &chunk)
{
    const QFileInfo info(path);
    if (!info.exists())
        return vb::ErrFileNotFound;
    QFile f(path);
    if (!info.isFile() || !f.open(QIODevice::ReadOnly))
        return vb::ErrPathFileAccess;
    QByteArray buf(64 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 got = f.read(buf.data(), buf.size());
        if (got < 0)
            return vb::ErrDeviceIO;
        if (got == 0)
            return 0;
        chunk(QByteArrayView(buf.constData(), got));
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

namespace {

// Replaces to with from in one step where the system allows it (a rename
// over an existing file), as std::filesystem does on every platform.
bool renameOver(const QString &from, const QString &to)
{
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(from.toStdU16String()), std::filesystem::path(to.toStdU16String()), ec);
    return !ec;
}

// A name beside path that nothing has.
QString besideName(const QString &path, const char *kind)
{
    for (;;) {
        const QString name = QStringLiteral("%1.%2-%3").arg(path, QLatin1String(kind)).arg(QRandomGenerator::global()->generate(), 8, 16, QChar(u'0'));
        if (!QFileInfo::exists(name) && !QFileInfo(name).isSymLink())
            return name;
    }
}

} // namespace

GroupResult writeGroup(const QList<FileWrite> &files, const GroupHooks &hooks)
{
    const auto rename = [&](const QString &from, const QString &to) { return hooks.rename ? hooks.rename(from, to) : renameOver(from, to); };
    GroupResult result;
    QStringList temps;
    // A folder where a file should go cannot be set aside as a file is.
    for (const FileWrite &f : files)
        if (QFileInfo(f.path).isDir()) {
            result.error = vb::ErrPathFileAccess;
            result.failed = f.path;
            return result;
        }
    // Every new file complete on the disk before any old one is touched.
    for (const FileWrite &f : files) {
        const QString temp = besideName(f.path, "new");
        if (const int e = writeWhole(temp, f.bytes, hooks.write)) {
            for (const QString &t : temps)
                QFile::remove(t);
            result.error = e;
            result.failed = f.path;
            return result;
        }
        temps << temp;
    }
    // Each old file set aside, the new one renamed over its place.
    struct Placed {
        QString path, old; // old: where the old file waits, empty when there was none
    };
    QList<Placed> placed;
    for (qsizetype i = 0; i < files.size() && !result.error; ++i) {
        const QString &path = files[i].path;
        QString old;
        if (QFileInfo::exists(path) || QFileInfo(path).isSymLink()) {
            old = besideName(path, "old");
            if (!rename(path, old)) {
                result.error = vb::ErrPathFileAccess;
                result.failed = path;
                break;
            }
        }
        if (!rename(temps[i], path)) {
            if (!old.isEmpty() && !rename(old, path)) {
                result.notRestored << path;
                result.aside << old;
            }
            result.error = vb::ErrPathFileAccess;
            result.failed = path;
            break;
        }
        placed.append({path, old});
    }
    if (!result.error) {
        for (const Placed &p : placed)
            if (!p.old.isEmpty())
                QFile::remove(p.old);
        return result;
    }
    // Undone in reverse: the old file back over the new one, or the new one
    // removed where there was none.
    for (qsizetype i = placed.size() - 1; i >= 0; --i) {
        const Placed &p = placed[i];
        const bool back = p.old.isEmpty() ? QFile::remove(p.path) : rename(p.old, p.path);
        if (!back) {
            result.notRestored.prepend(p.path);
            result.aside.prepend(p.old);
        }
    }
    for (const QString &t : temps)
        if (QFileInfo::exists(t))
            QFile::remove(t);
    return result;
}

} // namespace fileio
