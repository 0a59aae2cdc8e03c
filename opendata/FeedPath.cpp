#include "opendata/FeedPath.h"

#include "core/FileIo.h"

#include <QDir>
#include <QFileInfo>

namespace opendata {

Feed openFeed(const QString &path, FeedLimits limits)
{
    const QFileInfo info(path);
    if (info.isDir()) {
        const QDir dir(path);
        const QStringList names = dir.entryList({QStringLiteral("*.txt")}, QDir::Files | QDir::Readable);
        if (names.size() > limits.maxEntries)
            fail(vb::ErrOutOfMemory, path, 0, 0, {}, QStringLiteral("%1 files in the folder").arg(names.size()));
        // Each file streamed as the import reads it: never whole in memory.
        return Feed::streamFolder(
            names,
            [dir](const QString &name, const Feed::Chunk &chunk) {
                // A FIFO or a device in the folder would block or never end: regular files only.
                if (const int e = fileio::streamRegular(dir.filePath(name), chunk))
                    fail(e, name, 0, 0, {}, vb::Error::standardDescription(e));
            },
            limits);
    }
    // The archive is read from the disk as its entries are unpacked.
    if (!info.exists())
        fail(vb::ErrFileNotFound, path, 0, 0, {}, vb::Error::standardDescription(vb::ErrFileNotFound));
    if (!fileio::isRegularFile(path))
        fail(vb::ErrPathFileAccess, path, 0, 0, {}, vb::Error::standardDescription(vb::ErrPathFileAccess));
    if (info.size() > kMaxZipBytes)
        fail(vb::ErrOutOfMemory, path, 0, 0, {}, QStringLiteral("an archive longer than %1 bytes").arg(kMaxZipBytes));
    return Feed::fromZipFile(path, info.fileName(), limits);
}

} // namespace opendata
