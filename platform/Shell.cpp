#include "platform/Shell.h"

#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace platform {

namespace {

std::function<bool(const QString &)> &handler()
{
    static std::function<bool(const QString &)> h;
    return h;
}

} // namespace

bool shellOpen(const QString &path)
{
    // A folder of the options, found as its files are: an empty one is the
    // program's own, a relative one the first of the data roots that has it.
    QString p = QDir::fromNativeSeparators(path.trimmed());
    p.replace(u'\\', u'/');
    QString absolute;
    if (!QDir::isRelativePath(p)) {
        absolute = p;
    } else {
        const DataRoots roots = dataRoots();
        for (const QString &root : roots.read) {
            const QString candidate = QDir(root).absoluteFilePath(p);
            if (QFileInfo(candidate).exists()) {
                absolute = candidate;
                break;
            }
        }
        if (absolute.isEmpty())
            absolute = QDir(roots.read.value(0)).absoluteFilePath(p);
    }
    absolute = QDir::cleanPath(absolute);
    if (handler())
        return handler()(absolute);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(absolute));
}

void setShellOpenHandler(std::function<bool(const QString &)> h)
{
    handler() = std::move(h);
}

} // namespace platform
