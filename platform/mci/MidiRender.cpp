#include "platform/mci/MidiRender.h"

#include "platform/mci/Mci.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <fluidsynth.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>

namespace platform::mci {

namespace {

bool readVarLen(const uchar *d, size_t end, size_t &pos, quint32 &v)
{
    v = 0;
    for (int i = 0; i < 4; ++i) {
        if (pos >= end)
            return false;
        const uchar b = d[pos++];
        v = v << 7 | (b & 0x7F);
        if (!(b & 0x80))
            return true;
    }
    return false; // longer than the format allows
}

struct Counts {
    int events = 0;
    int sysex = 0;
};

void appendBytes(QByteArray &out, const uchar *p, size_t n)
{
    out.append(reinterpret_cast<const char *>(p), qsizetype(n));
}

int normaliseTrack(const uchar *d, size_t end, QByteArray &out, Counts &n)
{
    const qsizetype head = out.size();
    out.append("MTrk\0\0\0\0", 8);
    uchar running = 0;
    bool ended = false;
    size_t pos = 0;
    while (pos < end && !ended) {
        const size_t deltaAt = pos;
        quint32 value;
        if (!readVarLen(d, end, pos, value) || pos >= end)
            return ErrInvalidFile;
        appendBytes(out, d + deltaAt, pos - deltaAt);
        uchar status = d[pos];
        if (status & 0x80)
            ++pos;
        else if (running)
            status = running;
        else
            return ErrInvalidFile;
        if (++n.events > kMaxMidiEvents)
            return ErrOutOfMemory;

        if (status < 0xF0) {
            const size_t len = (status & 0xE0) == 0xC0 ? 1 : 2; // program change, channel pressure
            if (end - pos < len)
                return ErrInvalidFile;
            for (size_t i = 0; i < len; ++i)
                if (d[pos + i] & 0x80)
                    return ErrInvalidFile;
            out.append(char(status));
            appendBytes(out, d + pos, len);
            pos += len;
            running = status;
        } else if (status == 0xF0 || status == 0xF7 || status == 0xFF) {
            uchar type = 0;
            if (status == 0xFF) {
                if (pos >= end)
                    return ErrInvalidFile;
                type = d[pos++];
            }
            const size_t lenAt = pos;
            quint32 len;
            if (!readVarLen(d, end, pos, len) || len > end - pos)
                return ErrInvalidFile;
            if (status == 0xF0) {
                if (++n.sysex > kMaxMidiSysex)
                    return ErrOutOfMemory;
                out.append(char(status));
                appendBytes(out, d + lenAt, pos - lenAt + len);
            } else if (status == 0xFF && type == 0x51) { // tempo
                if (len != 3)
                    return ErrInvalidFile;
                out.append("\xFF\x51\x03", 3);
                appendBytes(out, d + pos, 3);
            } else if (status == 0xFF && type == 0x2F) { // end of track: the rest is never read
                ended = true;
                out.append("\xFF\x2F\x00", 3);
            } else {
                // The synth fails on some of these (an F7 escape, a time
                // signature of the wrong length) and plays none of them.
                out.append("\xFF\x01\x00", 3);
            }
            pos += len;
        } else {
            return ErrInvalidFile; // real-time and common messages have no place in a file
        }
    }
    if (!ended)
        out.append("\x00\xFF\x2F\x00", 4);
    qToBigEndian(quint32(out.size() - head - 8), out.data() + head + 4);
    return 0;
}

// Quiet: failures end in silence and are reported through the open's code.
void discardLog(int, const char *, void *) {}

struct Synth {
    fluid_settings_t *settings = nullptr;
    fluid_synth_t *synth = nullptr;
    int rate = 0;

    ~Synth()
    {
        if (synth)
            delete_fluid_synth(synth);
        if (settings)
            delete_fluid_settings(settings);
    }
};

// One synthesiser, used by one render at a time (renders run off the GUI
// thread, and a nested open may start another while one is running).
std::mutex g_synthLock;
std::unique_ptr<Synth> g_synth;

QString soundFontPath()
{
    // Beside the executable first (a Windows installation ships it there),
    // then the Debian package. Never the large default General MIDI font.
    const QString name = QStringLiteral("TimGM6mb.sf2");
    if (QCoreApplication::instance()) {
        const QString local = QDir(QCoreApplication::applicationDirPath()).filePath(name);
        if (QFileInfo(local).isFile())
            return local;
    }
    return QStringLiteral("/usr/share/sounds/sf2/") + name;
}

fluid_synth_t *synthFor(int rate)
{
    if (g_synth && g_synth->rate == rate)
        return g_synth->synth;
    g_synth.reset();

    for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
        fluid_set_log_function(level, discardLog, nullptr);

    auto s = std::make_unique<Synth>();
    s->settings = new_fluid_settings();
    if (!s->settings)
        return nullptr;
    fluid_settings_setnum(s->settings, "synth.sample-rate", rate);
    fluid_settings_setnum(s->settings, "synth.gain", 0.8);
    fluid_settings_setint(s->settings, "synth.cpu-cores", 1);
    // A chime needs few voices; a file that holds hundreds for five minutes
    // would otherwise take half a minute to render.
    fluid_settings_setint(s->settings, "synth.polyphony", 32);
    s->synth = new_fluid_synth(s->settings);
    if (!s->synth)
        return nullptr;
    const QByteArray sf = QFile::encodeName(soundFontPath());
    if (fluid_synth_sfload(s->synth, sf.constData(), 1) == FLUID_FAILED)
        return nullptr;
    s->rate = rate;
    g_synth = std::move(s);
    return g_synth->synth;
}

struct PlayerDeleter {
    void operator()(fluid_player_t *p) const
    {
        fluid_player_stop(p);
        delete_fluid_player(p);
    }
};

} // namespace

int normaliseSmf(QByteArrayView data, QByteArray &out)
{
    out.clear();
    const auto *d = reinterpret_cast<const uchar *>(data.data());
    const size_t size = size_t(data.size());
    if (size < 14 || data.first(4) != "MThd")
        return ErrInvalidFile;
    const quint32 headerLen = qFromBigEndian<quint32>(d + 4);
    if (headerLen < 6 || headerLen > size - 8)
        return ErrInvalidFile;
    const quint16 format = qFromBigEndian<quint16>(d + 8), tracks = qFromBigEndian<quint16>(d + 10),
                  division = qFromBigEndian<quint16>(d + 12);
    // Division 0 would divide by zero; SMPTE timing is not supported by the synth.
    if (format > 2 || tracks == 0 || division == 0 || (division & 0x8000))
        return ErrInvalidFile;

    QByteArray res("MThd\0\0\0\x06", 8);
    appendBytes(res, d + 8, 6);
    res.reserve(qsizetype(size + size / 2 + 64));
    Counts n;
    int found = 0;
    size_t pos = 8 + headerLen;
    // Every chunk must lie inside the file; the synth reads the first
    // `tracks` track chunks and nothing else.
    while (size - pos >= 8) {
        const quint32 len = qFromBigEndian<quint32>(d + pos + 4);
        const bool isTrack = data.sliced(qsizetype(pos), 4) == "MTrk";
        pos += 8;
        if (len > size - pos)
            return ErrInvalidFile;
        if (isTrack && found < tracks) {
            if (int e = normaliseTrack(d + pos, len, res, n))
                return e;
            ++found;
        }
        pos += len;
    }
    if (found < tracks)
        return ErrInvalidFile;
    out = std::move(res);
    return 0;
}

int renderMidi(QByteArrayView smf, int rate, Pcm &out, int budgetMs)
{
    out = Pcm();
    if (rate <= 0)
        return ErrHardware;
    QByteArray plain;
    if (int e = normaliseSmf(smf, plain))
        return e;

    const std::lock_guard lock(g_synthLock);
    fluid_synth_t *synth = synthFor(rate);
    if (!synth)
        return ErrHardware;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(budgetMs);

    fluid_synth_system_reset(synth);
    std::unique_ptr<fluid_player_t, PlayerDeleter> player(new_fluid_player(synth));
    if (!player || fluid_player_add_mem(player.get(), plain.constData(), size_t(plain.size())) != FLUID_OK
        || fluid_player_play(player.get()) != FLUID_OK)
        return ErrHardware;

    // One buffer grown with realloc: large blocks are remapped rather than
    // copied, so rendering never holds the sound twice.
    const size_t limit = maxFrames(rate);
    const size_t maxTailFrames = size_t(rate) * 3; // release and reverb after the last event
    constexpr size_t step = 512;
    size_t frames = 0, tailFrames = 0;
    int failure = 0;
    while (frames < limit) {
        if (std::chrono::steady_clock::now() > deadline) {
            failure = ErrDeviceNotReady;
            break;
        }
        if (fluid_player_get_status(player.get()) != FLUID_PLAYER_PLAYING) {
            if (fluid_synth_get_active_voice_count(synth) == 0 || tailFrames >= maxTailFrames)
                break;
            tailFrames += step;
        }
        const size_t n = std::min(step, limit - frames);
        if (frames + n > out.frames()
            && !out.resize(std::min(limit, std::max(frames + n, out.frames() + out.frames() / 2 + size_t(rate))))) {
            failure = ErrOutOfMemory;
            break;
        }
        qint16 *d = out.data();
        if (fluid_synth_write_s16(synth, int(n), d, int(frames * 2), 2, d, int(frames * 2 + 1), 2) != FLUID_OK) {
            failure = ErrHardware;
            break;
        }
        frames += n;
    }
    player.reset();
    fluid_synth_all_sounds_off(synth, -1);
    if (failure) {
        out = Pcm();
        return failure;
    }

    // Trim the trailing silence (dither leaves a sample or two of noise).
    constexpr int silence = 8;
    const qint16 *d = out.data();
    size_t keep = frames;
    while (keep > 0 && std::abs(d[keep * 2 - 1]) <= silence && std::abs(d[keep * 2 - 2]) <= silence)
        --keep;
    // A file without notes still opens and plays a moment of silence.
    const size_t least = size_t(rate) / 100;
    if (keep < least) {
        if (!out.resize(least))
            return out = Pcm(), ErrOutOfMemory;
        std::fill_n(out.data() + keep * 2, (least - keep) * 2, qint16(0));
        keep = least;
    }
    return out.resize(keep) ? 0 : (out = Pcm(), ErrOutOfMemory);
}

void releaseMidiSynth()
{
    const std::lock_guard lock(g_synthLock);
    g_synth.reset();
}

} // namespace platform::mci
