#include "platform/Shell.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
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
    if (path.trimmed().isEmpty())
        return false;
    const QString absolute = QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(path);
    if (handler())
        return handler()(absolute);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(absolute));
}

void setShellOpenHandler(std::function<bool(const QString &)> h)
{
    handler() = std::move(h);
}

} // namespace platform
