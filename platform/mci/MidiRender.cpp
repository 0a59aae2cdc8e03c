#include "platform/mci/MidiRender.h"

#include "platform/mci/Mci.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fluidsynth.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace platform::mci {

namespace {

quint32 be32(const uchar *p) { return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3]; }
quint16 be16(const uchar *p) { return quint16(p[0] << 8 | p[1]); }

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

bool isWellFormedTrack(const uchar *d, size_t pos, size_t end)
{
    uchar running = 0;
    while (pos < end) {
        quint32 delta;
        if (!readVarLen(d, end, pos, delta) || pos >= end)
            return false;
        uchar status = d[pos];
        if (status & 0x80)
            ++pos;
        else if (running)
            status = running;
        else
            return false;

        if (status < 0xF0) {
            const size_t n = (status & 0xE0) == 0xC0 ? 1 : 2; // program change, channel pressure
            if (end - pos < n)
                return false;
            for (size_t i = 0; i < n; ++i)
                if (d[pos + i] & 0x80)
                    return false;
            pos += n;
            running = status;
        } else if (status == 0xF0 || status == 0xF7 || status == 0xFF) {
            uchar type = 0;
            if (status == 0xFF) {
                if (pos >= end)
                    return false;
                type = d[pos++];
            }
            quint32 len;
            if (!readVarLen(d, end, pos, len) || len > end - pos)
                return false;
            if (status == 0xFF && type == 0x51 && len != 3) // tempo
                return false;
            pos += len;
            if (status == 0xFF && type == 0x2F) // end of track: the rest is never read
                return true;
        } else {
            return false; // real-time and common messages have no place in a file
        }
    }
    return true;
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

bool isWellFormedSmf(QByteArrayView data)
{
    const auto *d = reinterpret_cast<const uchar *>(data.data());
    const size_t size = size_t(data.size());
    if (size < 14 || QByteArrayView(data.data(), 4) != "MThd")
        return false;
    const quint32 headerLen = be32(d + 4);
    if (headerLen < 6 || headerLen > size - 8)
        return false;
    const quint16 format = be16(d + 8), tracks = be16(d + 10), division = be16(d + 12);
    // Division 0 would divide by zero; SMPTE timing is not supported by the synth.
    if (format > 2 || tracks == 0 || division == 0 || (division & 0x8000))
        return false;

    size_t pos = 8 + headerLen;
    int found = 0;
    while (size - pos >= 8) {
        const quint32 len = be32(d + pos + 4);
        const bool isTrack = QByteArrayView(data.data() + pos, 4) == "MTrk";
        pos += 8;
        if (len > size - pos)
            return false;
        if (isTrack) {
            if (!isWellFormedTrack(d, pos, pos + len))
                return false;
            ++found;
        }
        pos += len;
    }
    return found >= tracks;
}

bool Pcm::resize(size_t newFrames)
{
    void *p = std::realloc(m_data.get(), std::max<size_t>(newFrames, 1) * 2 * sizeof(qint16));
    if (!p)
        return false;
    (void)m_data.release(); // realloc already took it over
    m_data.reset(static_cast<qint16 *>(p));
    m_frames = newFrames;
    return true;
}

int renderMidi(QByteArrayView smf, int rate, Pcm &out)
{
    out = Pcm();
    if (!isWellFormedSmf(smf))
        return ErrInvalidFile;
    fluid_synth_t *synth = synthFor(rate);
    if (!synth)
        return ErrHardware;

    fluid_synth_system_reset(synth);
    std::unique_ptr<fluid_player_t, PlayerDeleter> player(new_fluid_player(synth));
    if (!player || fluid_player_add_mem(player.get(), smf.data(), size_t(smf.size())) != FLUID_OK
        || fluid_player_play(player.get()) != FLUID_OK)
        return ErrHardware;

    // One buffer grown with realloc: large blocks are remapped rather than
    // copied, so rendering never holds the sound twice.
    const size_t maxFrames = size_t(rate) * kMaxSoundSeconds;
    const size_t maxTailFrames = size_t(rate) * 3; // release and reverb after the last event
    constexpr size_t step = 512;
    size_t frames = 0, tailFrames = 0;
    while (frames < maxFrames) {
        if (fluid_player_get_status(player.get()) != FLUID_PLAYER_PLAYING) {
            if (fluid_synth_get_active_voice_count(synth) == 0 || tailFrames >= maxTailFrames)
                break;
            tailFrames += step;
        }
        const size_t n = std::min(step, maxFrames - frames);
        if (frames + n > out.frames()
            && !out.resize(std::min(maxFrames, std::max(frames + n, out.frames() + out.frames() / 2 + size_t(rate)))))
            return ErrOutOfMemory;
        qint16 *d = out.data();
        if (fluid_synth_write_s16(synth, int(n), d, int(frames * 2), 2, d, int(frames * 2 + 1), 2) != FLUID_OK)
            return ErrHardware;
        frames += n;
    }
    player.reset();
    fluid_synth_all_sounds_off(synth, -1);

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
            return ErrOutOfMemory;
        std::fill_n(out.data() + keep * 2, (least - keep) * 2, qint16(0));
        keep = least;
    }
    return out.resize(keep) ? 0 : ErrOutOfMemory;
}

void releaseMidiSynth()
{
    g_synth.reset();
}

} // namespace platform::mci
