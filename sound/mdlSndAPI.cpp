#include "sound/mdlSndAPI.h"

#include "core/ExeName.h"
#include "platform/mci/Mci.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QThread>
#include <QTimer>

namespace mdlSndAPI {

namespace {

MciSender &sender()
{
    static MciSender s;
    return s;
}

int send(const QString &command)
{
    const MciSender &s = sender();
    return s ? s(command) : platform::mciSendString(command);
}

QString aliasOf(const QString &channel)
{
    return core::exeName() + channel;
}

// Only the last three characters decide; a four-letter extension plays nothing.
QString deviceType(const QString &path)
{
    const QString ending = path.right(3).trimmed().toUpper();
    if (ending == u"WAV")
        return QStringLiteral("waveaudio");
    if (ending == u"MP3")
        return QStringLiteral("mpegvideo");
    if (ending == u"MID")
        return QStringLiteral("sequencer");
    return {};
}

// The path names one existing file, taken literally: wildcard characters are
// part of the name, never a pattern.
bool namesAFile(const QString &path)
{
    return QFileInfo(platform::mci::literalPath(path)).isFile();
}

void pauseFor(qint16 ms)
{
    // A negative pause would otherwise become an endless one.
    if (ms <= 0 || !QCoreApplication::instance()) {
        if (ms > 0)
            QThread::msleep(ulong(ms));
        else
            QThread::yieldCurrentThread();
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(int(ms), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

} // namespace

void SndPlay(const QString &path, const QString &channel, qint16 sync, qint16 pause)
{
    try {
        if (path.isEmpty() || !namesAFile(path))
            return;
        const QString alias = aliasOf(channel);
        send(QStringLiteral("close ") + alias);
        const QString type = deviceType(path);
        if (type.isEmpty())
            return;
        if (send(QStringLiteral("open \"%1\" type %2 alias %3 wait").arg(path, type, alias)) != 0)
            return;
        if (sync != 0) {
            send(QStringLiteral("play ") + alias + QStringLiteral(" from 0 wait"));
            pauseFor(pause);
        } else {
            send(QStringLiteral("stop ") + alias);
            send(QStringLiteral("play ") + alias + QStringLiteral(" from 0"));
            pauseFor(0);
        }
    } catch (...) {
        // A sound must never interrupt the fare step or announcement around it.
    }
}

void SndCloseAll()
{
    try {
        for (const char *ch : {"S1", "S2", "S3", "S4"})
            send(QStringLiteral("close ") + aliasOf(QLatin1String(ch)));
    } catch (...) {
    }
}

void setMciSender(MciSender s)
{
    sender() = std::move(s);
}

} // namespace mdlSndAPI
