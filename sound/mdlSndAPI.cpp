#include "sound/mdlSndAPI.h"

#include "core/ExeName.h"
#include "platform/Paths.h"
#include "platform/Wait.h"
#include "platform/mci/Mci.h"

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
    return s ? s(command) : platform::sendMci(command);
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

} // namespace

void SndPlay(const QString &path, const QString &channel, qint16 sync, qint16 pause)
{
    try {
        // Found as the users' desktops find it: from the executable's folder,
        // whatever the letter case, wildcards taken literally.
        const QString file = platform::findFile(path);
        if (file.isEmpty())
            return;
        const QString alias = aliasOf(channel);
        send(QStringLiteral("close ") + alias);
        const QString type = deviceType(file);
        if (type.isEmpty())
            return;
        if (send(QStringLiteral("open \"%1\" type %2 alias %3 wait").arg(file, type, alias)) != 0)
            return;
        if (sync != 0) {
            send(QStringLiteral("play ") + alias + QStringLiteral(" from 0 wait"));
            platform::pauseFor(pause);
        } else {
            send(QStringLiteral("stop ") + alias);
            send(QStringLiteral("play ") + alias + QStringLiteral(" from 0"));
            platform::pauseFor(0);
        }
    } catch (...) {
        // A sound must never interrupt the fare step or announcement around it.
    }
}

void SndStop(const QString &channel)
{
    try {
        send(QStringLiteral("stop ") + aliasOf(channel));
    } catch (...) {
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
