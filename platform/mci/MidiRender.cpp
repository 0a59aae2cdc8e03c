#include "MidiRender.h"

#include "Mci.h"

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

int renderMidi(QByteArrayView smf, int rate, std::vector<qint16> &out)
{
    out.clear();
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

    // Render in one-second blocks so the final buffer is allocated once.
    const size_t blockFrames = size_t(rate);
    const size_t maxFrames = size_t(rate) * kMaxSoundSeconds;
    const size_t maxTailFrames = size_t(rate) * 3; // release and reverb after the last event
    constexpr int step = 512;
    std::vector<std::vector<qint16>> blocks;
    size_t frames = 0, tailFrames = 0;
    bool done = false;
    while (!done && frames < maxFrames) {
        std::vector<qint16> &b = blocks.emplace_back(blockFrames * 2);
        size_t at = 0;
        while (at < blockFrames && frames < maxFrames) {
            if (fluid_player_get_status(player.get()) != FLUID_PLAYER_PLAYING) {
                if (fluid_synth_get_active_voice_count(synth) == 0 || tailFrames >= maxTailFrames) {
                    done = true;
                    break;
                }
                tailFrames += step;
            }
            const int n = int(std::min<size_t>(step, std::min(blockFrames - at, maxFrames - frames)));
            if (fluid_synth_write_s16(synth, n, b.data(), int(at * 2), 2, b.data(), int(at * 2 + 1), 2)
                != FLUID_OK)
                return ErrHardware;
            at += size_t(n);
            frames += size_t(n);
        }
        b.resize(at * 2);
    }
    player.reset();
    fluid_synth_all_sounds_off(synth, -1);

    // Trim the trailing silence (dither leaves a sample or two of noise).
    constexpr int silence = 8;
    size_t keep = 0, blockStart = frames;
    for (auto it = blocks.rbegin(); it != blocks.rend(); ++it) {
        blockStart -= it->size() / 2;
        const auto loud = std::find_if(it->rbegin(), it->rend(), [](qint16 s) { return std::abs(s) > silence; });
        if (loud != it->rend()) {
            keep = blockStart + (it->size() - 1 - size_t(loud - it->rbegin())) / 2 + 1;
            break;
        }
    }
    // A file without notes still opens and plays a moment of silence.
    keep = std::max(keep, size_t(rate) / 100);

    out.assign(keep * 2, 0);
    size_t at = 0;
    for (std::vector<qint16> &b : blocks) {
        const size_t n = std::min(b.size(), out.size() - at);
        std::copy_n(b.begin(), n, out.begin() + ptrdiff_t(at));
        at += n;
        std::vector<qint16>().swap(b);
    }
    return 0;
}

void releaseMidiSynth()
{
    g_synth.reset();
}

} // namespace platform::mci
