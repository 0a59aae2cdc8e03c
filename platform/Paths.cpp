#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace platform {

QString withSeparator(const QString &folder)
{
    if (folder.isEmpty() || folder.endsWith(u'\\') || folder.endsWith(u'/'))
        return folder;
    return folder + u'/';
}

QString findFile(const QString &path)
{
    if (path.isEmpty())
        return {};
    QString p = QDir::fromNativeSeparators(path);
    p.replace(u'\\', u'/');
    if (QDir::isRelativePath(p) && QCoreApplication::instance())
        p = QDir(QCoreApplication::applicationDirPath()).filePath(p);
    // A leading ':' would otherwise look into the program's own resources.
    if (p.startsWith(u':'))
        p.prepend(QStringLiteral("./"));
    const QFileInfo exact(p);
    if (exact.isFile())
        return exact.filePath();
    const QDir dir = exact.dir();
    if (!dir.exists())
        return {};
    const QString name = exact.fileName();
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &e : entries)
        if (e.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(e);
    return {};
}

} // namespace platform
