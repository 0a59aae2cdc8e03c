// Ticket plug-ins: each call reads the file named by its path again, as the
// program keeps only the path. Any failure answers 0 and changes nothing.
#include "helperlib/include/kxp4res_api.h"

#include "core/Cp932.h"
#include "core/FileIo.h"
#include "helperlib/Plugin4sp.h"
#include "helperlib/TicketRenderer.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <cstring>
#include <optional>

namespace {

// A relative path is taken from the program's folder, and the name matches
// whatever its letter case, as on the users' desktops.
QString resolve(const QString &path)
{
    QString p = path;
    if (QFileInfo(p).isRelative() && QCoreApplication::instance())
        p = QDir(QCoreApplication::applicationDirPath()).filePath(p);
    if (QFileInfo::exists(p))
        return p;
    const QFileInfo fi(p);
    const QStringList names = fi.dir().entryList(QDir::Files);
    for (const QString &n : names)
        if (n.compare(fi.fileName(), Qt::CaseInsensitive) == 0)
            return fi.dir().filePath(n);
    return p;
}

std::optional<plugin::Plugin> load(const char *path)
{
    if (!path || !*path)
        return std::nullopt;
    // A regular file only, never more than one byte over the bound (so too
    // long is seen): a FIFO named as the stored plug-in would block every
    // start, a device would never end.
    const fileio::Read file = fileio::readRegular(resolve(cp932::decodeC(path)), plugin::kMaxFileBytes);
    if (file.error)
        return std::nullopt;
    try {
        return plugin::readPlugin(file.bytes);
    } catch (...) {
        return std::nullopt;
    }
}

// A runtime text is printed cut to kMaxRuntimeChars, so no more than two
// bytes a character of it are decoded: a stop name of 64 KiB costs nothing.
QString runtimeText(const char *s)
{
    if (!s)
        return {};
    const qsizetype most = 2 * qsizetype(plugin::kMaxRuntimeChars) + 2;
    qsizetype n = 0;
    while (n < most && s[n])
        ++n;
    return cp932::decode(QByteArrayView(s, n));
}

} // namespace

extern "C" {

KXP4_API int32_t KXP4_CALL KX4_GetPlgInfo(const char *path, void *info)
{
    if (!info)
        return 0;
    const auto p = load(path);
    if (!p)
        return 0;
    std::memcpy(info, &p->info, sizeof p->info);
    return 1;
}

KXP4_API int32_t KXP4_CALL KX4_SetPlgComment(const char *path, KXP4_HWND textBox)
{
    auto *w = static_cast<QObject *>(textBox);
    const auto p = load(path);
    if (!w || !p)
        return 0;
    if (auto *e = qobject_cast<QPlainTextEdit *>(w))
        e->setPlainText(p->notes);
    else if (auto *t = qobject_cast<QTextEdit *>(w))
        t->setPlainText(p->notes);
    else if (auto *l = qobject_cast<QLineEdit *>(w))
        l->setText(p->notes);
    else
        return 0;
    return 1;
}

KXP4_API int32_t KXP4_CALL KX4_SetCorpAddList(const char *path, KXP4_HWND comboBox)
{
    auto *combo = qobject_cast<QComboBox *>(static_cast<QObject *>(comboBox));
    const auto p = load(path);
    if (!combo || !p)
        return 0;
    // Adding names chooses none: a list that had no selection keeps none,
    // so the plug-in is told -1 until the user picks a company.
    const int chosen = combo->currentIndex();
    combo->addItems(p->companies);
    combo->setCurrentIndex(chosen);
    return 1;
}

KXP4_API int32_t KXP4_CALL KX4_DrawSeiriken(const char *path, KXP4_HDC hdc, const char *stopName,
                                            const char *date, const char *time, int32_t routeNo,
                                            int16_t seiriNo, int16_t row, int16_t corpIndex)
{
    auto *painter = static_cast<QPainter *>(hdc);
    // Fonts need a GUI application; without one, draw nothing rather than abort.
    if (!painter || !painter->isActive() || !qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return 0;
    const auto p = load(path);
    if (!p)
        return 0;
    plugin::TicketArgs a;
    a.stopName = runtimeText(stopName);
    a.date = runtimeText(date);
    a.time = runtimeText(time);
    a.route = routeNo;
    a.seiriNo = seiriNo;
    a.row = row;
    a.corpIndex = corpIndex;
    plugin::drawTicket(*painter, *p, a);
    return 1;
}

} // extern "C"
