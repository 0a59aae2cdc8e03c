#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace platform {

namespace {

QString normalised(const QString &path)
{
    QString p = QDir::fromNativeSeparators(path);
    p.replace(u'\\', u'/');
    return p;
}

QString findIn(QString p)
{
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

} // namespace

QString withSeparator(const QString &folder)
{
    if (folder.isEmpty() || folder.endsWith(u'\\') || folder.endsWith(u'/'))
        return folder;
    return folder + u'/';
}

DataRoots dataRoots(const QString &exeDir, const QString &userDir, bool exeDirWritable)
{
    if (exeDirWritable || userDir.isEmpty())
        return {{exeDir}, exeDir};
    return {{userDir, exeDir}, userDir};
}

DataRoots dataRoots()
{
    if (!QCoreApplication::instance())
        return {{QString()}, QString()};
    const QString exeDir = QCoreApplication::applicationDirPath();
    return dataRoots(exeDir, QStandardPaths::writableLocation(QStandardPaths::AppDataLocation),
                     QFileInfo(exeDir).isWritable());
}

QString findFile(const QString &path, const QStringList &roots)
{
    if (path.isEmpty())
        return {};
    const QString p = normalised(path);
    if (!QDir::isRelativePath(p))
        return findIn(p);
    for (const QString &root : roots) {
        const QString found = findIn(root.isEmpty() ? p : QDir(root).filePath(p));
        if (!found.isEmpty())
            return found;
    }
    return {};
}

QString findFile(const QString &path) { return findFile(path, dataRoots().read); }

QString writableFolder(const QString &folder, const QString &root)
{
    if (folder.isEmpty())
        return root;
    const QString p = normalised(folder);
    return QDir::isRelativePath(p) ? QDir(root).filePath(p) : p;
}

QString writableFolder(const QString &folder) { return writableFolder(folder, dataRoots().write); }

} // namespace platform
