#include "platform/mci/MidiSynth.h"

#include "platform/mci/Pcm.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fluidsynth.h>

#include <algorithm>
#include <mutex>

namespace platform::mci {

namespace {

// Quiet: failures end in silence and are reported through the open's code.
void discardLog(int, const char *, void *) {}

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

fluid_settings_t *settingsFor(int rate, int polyphony)
{
    fluid_settings_t *s = new_fluid_settings();
    if (!s)
        return nullptr;
    fluid_settings_setnum(s, "synth.sample-rate", rate);
    fluid_settings_setnum(s, "synth.gain", 0.8);
    // Rendering happens in the mixer's callback: no threads of the synth's own.
    fluid_settings_setint(s, "synth.cpu-cores", 1);
    // A chime needs few voices; a file that holds hundreds would otherwise
    // cost a core of its own.
    fluid_settings_setint(s, "synth.polyphony", polyphony);
    return s;
}

// The SoundFont, loaded once by a synthesiser that never plays and lent to
// every synthesiser that does.
struct Font {
    fluid_settings_t *settings = nullptr;
    fluid_synth_t *owner = nullptr;
    fluid_sfont_t *sfont = nullptr;
    int rate = 0;

    ~Font()
    {
        if (owner)
            delete_fluid_synth(owner); // frees the font with it
        if (settings)
            delete_fluid_settings(settings);
    }
};

std::mutex g_fontMaking;
std::shared_ptr<Font> g_font;

// Held by every call into a synthesiser that shares the font, fills
// included: the font's samples keep counts that the voices of every
// synthesiser change. Fills all run on the mixer's one thread, so they never
// wait for each other, only briefly for an open, a rewind or a close.
std::mutex g_playing;

std::shared_ptr<Font> fontFor(int rate)
{
    const std::lock_guard lock(g_fontMaking);
    if (g_font && g_font->rate == rate)
        return g_font;
    for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
        fluid_set_log_function(level, discardLog, nullptr);
    auto f = std::make_shared<Font>();
    f->rate = rate;
    f->settings = settingsFor(rate, 1);
    if (!f->settings)
        return nullptr;
    f->owner = new_fluid_synth(f->settings);
    if (!f->owner)
        return nullptr;
    const QByteArray path = QFile::encodeName(soundFontPath());
    const int id = fluid_synth_sfload(f->owner, path.constData(), 0);
    if (id == FLUID_FAILED)
        return nullptr;
    f->sfont = fluid_synth_get_sfont_by_id(f->owner, id);
    if (!f->sfont)
        return nullptr;
    g_font = f;
    return f;
}

} // namespace

struct MidiSynth::Engine {
    std::shared_ptr<Font> font; // outlives the synthesiser below
    fluid_settings_t *settings = nullptr;
    fluid_synth_t *synth = nullptr;
    bool lent = false;

    ~Engine()
    {
        const std::lock_guard lock(g_playing);
        if (synth) {
            if (lent)
                fluid_synth_remove_sfont(synth, font->sfont); // the font is not this synthesiser's to free
            delete_fluid_synth(synth);
        }
        if (settings)
            delete_fluid_settings(settings);
    }
};

namespace {

// Synthesisers of closed sounds, silent and reset, for the next open: making
// one allocates its voices and effects afresh, a few milliseconds each time.
constexpr size_t kSpareSynths = 4;
std::mutex g_spareLock;
std::vector<std::unique_ptr<MidiSynth::Engine>> g_spare;

} // namespace

MidiSynth::MidiSynth() = default;

MidiSynth::~MidiSynth()
{
    if (!m_engine || !m_engine->lent)
        return;
    {
        const std::lock_guard lock(g_playing);
        fluid_synth_system_reset(m_engine->synth);
    }
    std::shared_ptr<Font> current;
    {
        const std::lock_guard lock(g_fontMaking);
        current = g_font;
    }
    const std::lock_guard lock(g_spareLock);
    if (g_spare.size() < kSpareSynths && m_engine->font == current)
        g_spare.push_back(std::move(m_engine));
}

std::unique_ptr<MidiSynth> MidiSynth::create(std::shared_ptr<const MidiSong> song)
{
    if (!song || song->rate <= 0)
        return nullptr;
    std::unique_ptr<MidiSynth> s(new MidiSynth);
    s->m_song = std::move(song);
    const quint64 limit = maxFrames(s->m_song->rate);
    s->m_tailEnd = std::min<quint64>(s->m_song->endFrame + quint64(s->m_song->rate) * 3, limit);
    std::shared_ptr<Font> font = fontFor(s->m_song->rate);
    if (!font)
        return nullptr;
    {
        const std::lock_guard lock(g_spareLock);
        for (auto it = g_spare.begin(); it != g_spare.end(); ++it)
            if ((*it)->font == font) {
                s->m_engine = std::move(*it);
                g_spare.erase(it);
                return s;
            }
    }
    s->m_engine = std::make_unique<Engine>();
    Engine &e = *s->m_engine;
    e.font = std::move(font);
    e.settings = settingsFor(s->m_song->rate, 32);
    if (!e.settings)
        return nullptr;
    e.synth = new_fluid_synth(e.settings);
    if (!e.synth)
        return nullptr;
    {
        const std::lock_guard lock(g_playing);
        if (fluid_synth_add_sfont(e.synth, e.font->sfont) == FLUID_FAILED)
            return nullptr;
        e.lent = true;
    }
    return s;
}

void MidiSynth::rewind()
{
    const std::lock_guard lock(g_playing);
    fluid_synth_system_reset(m_engine->synth);
    m_next = 0;
    m_frame = 0;
    m_quiet = false;
    m_reached = 0;
    m_ended = false;
}

void MidiSynth::send(const MidiEvent &e)
{
    fluid_synth_t *s = m_engine->synth;
    const int ch = e.status & 0x0F;
    switch (e.status & 0xF0) {
    case 0x80: fluid_synth_noteoff(s, ch, e.data1); break;
    case 0x90: fluid_synth_noteon(s, ch, e.data1, e.data2); break; // velocity 0 is a note-off
    case 0xA0: fluid_synth_key_pressure(s, ch, e.data1, e.data2); break;
    case 0xB0: fluid_synth_cc(s, ch, e.data1, e.data2); break;
    case 0xC0: fluid_synth_program_change(s, ch, e.data1); break;
    case 0xD0: fluid_synth_channel_pressure(s, ch, e.data1); break;
    case 0xE0: fluid_synth_pitch_bend(s, ch, e.data1 | e.data2 << 7); break;
    case 0xF0:
        fluid_synth_sysex(s, m_song->sysex.constData() + e.sysexAt, int(e.sysexLen), nullptr, nullptr, nullptr, 0);
        break;
    }
}

bool MidiSynth::fill(qint16 *out, size_t frames)
{
    if (m_ended.load()) {
        std::fill_n(out, frames * 2, qint16(0));
        return false;
    }
    const std::lock_guard lock(g_playing);
    fluid_synth_t *synth = m_engine->synth;
    const std::vector<MidiEvent> &events = m_song->events;
    const quint64 end = m_song->endFrame;
    bool endsNow = false;
    size_t done = 0;
    while (done < frames) {
        while (m_next < events.size() && events[m_next].frame <= m_frame)
            send(events[m_next++]);
        quint64 n = frames - done;
        if (m_next < events.size()) {
            n = std::min<quint64>(n, events[m_next].frame - m_frame);
        } else if (m_frame < end) {
            // Nothing left to send and nothing sounding: the rest is silence.
            m_quiet = m_quiet || fluid_synth_get_active_voice_count(synth) == 0;
            n = std::min(n, end - m_frame);
        } else {
            if (m_frame >= m_tailEnd || fluid_synth_get_active_voice_count(synth) == 0) {
                endsNow = true;
                break;
            }
            n = std::min<quint64>({n, 256, m_tailEnd - m_frame}); // looks for the end often
        }
        qint16 *at = out + done * 2;
        if (m_quiet)
            std::fill_n(at, n * 2, qint16(0));
        else
            fluid_synth_write_s16(synth, int(n), at, 0, 2, at, 1, 2);
        done += size_t(n);
        m_frame += n;
    }
    std::fill(out + done * 2, out + frames * 2, qint16(0));
    m_reached = m_frame;
    if (endsNow)
        m_ended = true;
    return endsNow;
}

int MidiSynth::positionMs() const
{
    const quint64 ms = m_reached.load() * 1000 / quint64(m_song->rate);
    return int(std::min<quint64>(ms, quint64(m_song->lengthMs)));
}

void prepareMidiFont(int rate)
{
    if (rate > 0)
        fontFor(rate);
}

void releaseMidiFont()
{
    {
        const std::lock_guard lock(g_spareLock);
        g_spare.clear();
    }
    const std::lock_guard lock(g_fontMaking);
    g_font.reset();
}

} // namespace platform::mci
