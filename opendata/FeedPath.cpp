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
        return Feed::fromFolder(names, [dir, limits](const QString &name) -> std::optional<QByteArray> {
            fileio::Read f = fileio::readRegular(dir.filePath(name), limits.maxFileBytes);
            if (f.error)
                fail(f.error, name, 0, 0, {}, vb::Error::standardDescription(f.error));
            if (f.bytes.size() > limits.maxFileBytes)
                fail(vb::ErrOutOfMemory, name, 0, 0, {}, QStringLiteral("longer than %1 bytes").arg(limits.maxFileBytes));
            return f.bytes;
        });
    }
    fileio::Read f = fileio::readRegular(path, kMaxZipBytes);
    if (f.error)
        fail(f.error, path, 0, 0, {}, vb::Error::standardDescription(f.error));
    if (f.bytes.size() > kMaxZipBytes)
        fail(vb::ErrOutOfMemory, path, 0, 0, {}, QStringLiteral("an archive longer than %1 bytes").arg(kMaxZipBytes));
    return Feed::fromZip(std::move(f.bytes), info.fileName(), limits);
}

} // namespace opendata
