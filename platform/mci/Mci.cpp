#include "platform/mci/Mci.h"

#include "core/FileIo.h"
#include "core/InputHold.h"
#include "platform/mci/MciCommand.h"
#include "platform/mci/MidiSynth.h"
#include "platform/mci/SoundCache.h"
#include "platform/mci/SoundFile.h"
#include "platform/mci/SpeechQueue.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QTimer>

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

namespace platform {
namespace mci {
namespace {

constexpr int kRate = 44100;
constexpr int kBufferFrames = 1024; // about 23 ms per audio callback
constexpr int kFirstChannels = 8;
constexpr int kMaxChannels = 256;
// Quiet this long, the device closes (SDL's audio thread would otherwise wake
// for every block of silence); the next sound opens it again.
std::atomic<int> g_restAfterMs{5000};

std::atomic<TapFn> g_tap{nullptr};
std::atomic<void *> g_tapUser{nullptr};

void SDLCALL tapEffect(int channel, void *stream, int len, void *)
{
    if (TapFn fn = g_tap.load())
        fn(channel, stream, len, g_tapUser.load());
}

SpeechQueue g_speech;

void SDLCALL speechEffect(int, void *stream, int len, void *)
{
    g_speech.fill(static_cast<qint16 *>(stream), size_t(len) / sizeof(qint16));
}

void midiEnded();

struct ChunkDeleter {
    void operator()(Mix_Chunk *c) const { Mix_FreeChunk(c); }
};

// What an alias holds: decoded samples in a chunk of their own, or a MIDI
// song whose synthesiser fills a silent endless chunk as it plays.
struct Sound {
    int channel = -1;
    std::shared_ptr<const Pcm> pcm; // shared with the cache; the chunk points into it
    std::unique_ptr<Mix_Chunk, ChunkDeleter> chunk; // after pcm: freed before it
    std::unique_ptr<MidiSynth> midi; // the channel is halted before this goes
};

// Audio thread: the synthesiser writes over the silent block. Once the song
// has ended the GUI thread is asked to halt the channel (no Mix_* here).
void SDLCALL midiEffect(int, void *stream, int len, void *synth)
{
    if (static_cast<MidiSynth *>(synth)->fill(static_cast<qint16 *>(stream), size_t(len) / (2 * sizeof(qint16))))
        midiEnded();
}

// A regular file only: a FIFO put in its place since the look would block
// the read, a device would never end.
fileio::Read readSoundFile(const QString &path, Device device)
{
    return fileio::readRegular(path, maxFileBytes(device));
}

SoundCache::Entry decodeFile(const QString &path, Device device, int rate)
{
    try {
        const fileio::Read file = readSoundFile(path, device);
        if (file.error)
            return {ErrFileNotFound, {}};
        const QByteArray &data = file.bytes;
        if (data.size() > maxFileBytes(device))
            return {ErrOutOfMemory, {}};
        auto pcm = std::make_shared<Pcm>();
        if (int e = decodeSound(data, device, rate, *pcm))
            return {e, {}};
        return {0, std::move(pcm)};
    } catch (const std::bad_alloc &) {
        return {ErrOutOfMemory, {}};
    }
}

struct MidiOpen {
    int error = 0;
    std::unique_ptr<MidiSynth> synth;
};

// Read and checked only: the synthesiser renders it while it plays. Not
// cached: the check is quick, and the cache holds samples.
MidiOpen openMidi(const QString &path, int rate)
{
    try {
        const fileio::Read file = readSoundFile(path, Device::Sequencer);
        if (file.error)
            return {ErrFileNotFound, {}};
        if (file.bytes.size() > maxFileBytes(Device::Sequencer))
            return {ErrOutOfMemory, {}};
        auto song = std::make_shared<MidiSong>();
        if (int e = readMidi(file.bytes, rate, *song))
            return {e, {}};
        MidiOpen result;
        result.synth = MidiSynth::create(std::move(song));
        result.error = result.synth ? 0 : ErrHardware;
        return result;
    } catch (const std::bad_alloc &) {
        return {ErrOutOfMemory, {}};
    }
}

// Runs `work` on a thread of its own. Meanwhile the GUI thread waits in a
// local loop, as a blocking play does: repaints and timers go on, user input
// waits.
template <typename Fn>
auto runAside(Fn work) -> decltype(work())
{
    if (!QCoreApplication::instance())
        return work();
    decltype(work()) result;
    std::unique_ptr<QThread> worker(QThread::create([&] { result = work(); }));
    const inputhold::Hold hold;
    QEventLoop loop;
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker->wait();
    return result;
}

class Player : public QObject {
public:
    Player()
    {
        m_rest.setSingleShot(true);
        QObject::connect(&m_rest, &QTimer::timeout, this, [this] { restIfQuiet(); });
    }
    ~Player() override { shutdown(); }

    int run(const Command &c)
    {
        switch (c.verb) {
        case Command::Verb::Open:
            return open(c);
        case Command::Verb::Play:
            return play(c);
        case Command::Verb::Stop:
            return stop(c.alias);
        case Command::Verb::Close:
            return close(c.alias);
        }
        return ErrUnrecognizedCommand;
    }

    int channelOf(const QString &alias) const
    {
        const auto it = m_open.find(alias.toLower());
        return it == m_open.end() ? -1 : it->second.channel;
    }

    int lengthMs(const QString &alias) const
    {
        const auto it = m_open.find(alias.toLower());
        if (it == m_open.end() || rate <= 0)
            return -1;
        if (it->second.midi)
            return it->second.midi->song().lengthMs;
        return int(qint64(it->second.chunk->alen) * 1000 / (qint64(rate) * 4));
    }

    int positionMs(const QString &alias) const
    {
        const auto it = m_open.find(alias.toLower());
        return it == m_open.end() || !it->second.midi ? -1 : it->second.midi->positionMs();
    }

    // A song has ended: its channel stops, which wakes whoever waits for it.
    void haltEnded()
    {
        for (const auto &[alias, sound] : m_open)
            if (sound.midi && sound.midi->ended() && playing(sound.channel))
                Mix_HaltChannel(sound.channel);
        wake();
    }

    // The speech channel plays an endless silent block that its effect
    // replaces with the queued speech, so speech starts within one block.
    int speechChannel()
    {
        if (m_speechChannel >= 0)
            return m_speechChannel;
        if (ensureAudio())
            return -1;
        const int ch = freeChannel();
        if (ch < 0)
            return -1;
        Mix_Chunk *silence = silentChunk();
        if (!silence)
            return -1;
        Mix_RegisterEffect(ch, speechEffect, nullptr, nullptr);
        Mix_RegisterEffect(ch, tapEffect, nullptr, nullptr);
        if (Mix_PlayChannel(ch, silence, -1) < 0) {
            Mix_UnregisterAllEffects(ch);
            return -1;
        }
        m_used[size_t(ch)] = true; // never handed to an alias
        m_speechChannel = ch;
        return ch;
    }
    int speechChannelIfOpen() const { return m_speechChannel; }

    // Speech queued while the device rests: the GUI thread opens it again and
    // the queue plays from where it stands.
    static void speechWhileResting()
    {
        if (Player *p = s_resting.load())
            QMetaObject::invokeMethod(p, [p] { p->speechChannel(); }, Qt::QueuedConnection);
    }

    // Closed, not only closing.
    bool resting() const { return m_ready && !m_awake && m_closed; }
    bool closing() const { return m_ready && !m_awake && !m_closed; }

    // Audio thread: a song ended; the GUI thread halts its channel.
    static void midiEndedOnAudioThread()
    {
        if (Player *p = s_live.load())
            QMetaObject::invokeMethod(p, [p] { p->haltEnded(); }, Qt::QueuedConnection);
    }

    QString driver;
    int rate = 0;
    SoundCache cache;
    int decodes = 0;

private:
    struct Wait {
        int channel;
        quint64 serial;
        QEventLoop *loop;
    };

    std::map<QString, Sound> m_open; // by lower-case alias
    std::vector<bool> m_used;        // mixer channel carries an alias
    std::vector<quint64> m_serial;   // bumped whenever what a channel plays changes
    std::vector<Wait *> m_waits;     // blocking plays, innermost last
    bool m_ready = false;
    bool m_awake = false; // the mixer holds the device (else it rests, driver still chosen)
    bool m_failed = false;
    QTimer m_rest;
    std::thread m_closer;             // closes the device: SDL drains what the server still holds
    std::atomic<bool> m_closed{true}; // that thread is done
    std::vector<Sound> m_closing;     // let go of while it runs: freed once it is done
    std::once_flag m_openOnce;
    int m_openError = 0;
    std::thread m_opener; // the open ahead of the first sound
    int m_speechChannel = -1;
    std::vector<qint16> m_silence;
    std::unique_ptr<Mix_Chunk, ChunkDeleter> m_silentChunk; // speech and every MIDI channel play it

    // One block of silence, played endlessly where an effect writes the sound.
    Mix_Chunk *silentChunk()
    {
        if (!m_silentChunk) {
            m_silence.assign(size_t(kBufferFrames) * 2, 0);
            m_silentChunk.reset(Mix_QuickLoad_RAW(reinterpret_cast<Uint8 *>(m_silence.data()),
                                                  Uint32(m_silence.size() * sizeof(qint16))));
        }
        return m_silentChunk.get();
    }

    static inline std::atomic<Player *> s_live{nullptr};
    static inline std::atomic<Player *> s_resting{nullptr}; // set while the device rests

    // Mixer calls on a channel only while the mixer is open: at rest nothing
    // plays and its channels are gone.
    bool playing(int ch) const { return m_awake && Mix_Playing(ch); }
    void halt(int ch)
    {
        if (m_awake)
            Mix_HaltChannel(ch);
    }
    void dropEffects(int ch)
    {
        if (m_awake)
            Mix_UnregisterAllEffects(ch);
    }

    bool quiet() const
    {
        if (!m_waits.empty() || g_speech.playing())
            return false;
        for (int ch = 0; ch < int(m_used.size()); ++ch)
            if (ch != m_speechChannel && Mix_Playing(ch))
                return false;
        return true;
    }

public:
    // Something sounds or is about to: the rest waits for a quiet spell.
    void armRest()
    {
        if (m_awake && QCoreApplication::instance())
            m_rest.start(g_restAfterMs.load());
    }

private:
    void restIfQuiet()
    {
        if (!m_awake)
            return;
        if (!quiet()) {
            armRest();
            return;
        }
        Mix_ChannelFinished(nullptr);
        s_live = nullptr;
        // A sound server may drain its buffer first, for a second or more:
        // never on the GUI thread. Until that thread is done the GUI thread
        // makes no mixer call (a sound waits for it).
        m_closed = false;
        m_closer = std::thread([this] {
            struct TlsCleanup {
                ~TlsCleanup() { SDL_TLSCleanup(); }
            } cleanup;
            Mix_CloseAudio(); // halts every channel and drops their effects
            m_closed = true;
        });
        if (m_speechChannel >= 0)
            m_used[size_t(m_speechChannel)] = false;
        m_speechChannel = -1;
        m_awake = false;
        s_resting = this;
        // Speech may have been queued since the check.
        if (g_speech.playing())
            speechWhileResting();
    }

    void closed()
    {
        if (m_closer.joinable())
            m_closer.join();
        m_closing.clear();
    }

    // The driver chosen at the first open is kept, so opening again is quick.
    // Should the device have gone meanwhile, the first open's search runs again.
    int wakeDevice()
    {
        closed();
        if (Mix_OpenAudioDevice(kRate, AUDIO_S16SYS, 2, kBufferFrames, nullptr, 0) != 0) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            if (openDevice()) {
                m_failed = true;
                m_ready = false;
                s_resting = nullptr;
                return ErrHardware;
            }
            driver = QString::fromUtf8(SDL_GetCurrentAudioDriver());
        }
        Mix_AllocateChannels(int(m_used.size()));
        s_resting = nullptr;
        s_live = this;
        Mix_ChannelFinished(&Player::finished);
        m_awake = true;
        armRest();
        return 0;
    }

    // Runs on the audio thread (or inside Mix_HaltChannel): no Mix_* here,
    // only a queued wake-up for the GUI thread.
    static void SDLCALL finished(int)
    {
        if (Player *p = s_live.load())
            QMetaObject::invokeMethod(p, [p] { p->wake(); }, Qt::QueuedConnection);
    }

    // SDL alone, on whichever thread comes first: reaching a sound server or
    // trying drivers that fail before the dummy one can take a good while.
    static int openDevice()
    {
        // Qt owns the process's signals.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        const auto tryOpen = [] {
            if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
                return false;
            if (Mix_OpenAudioDevice(kRate, AUDIO_S16SYS, 2, kBufferFrames, nullptr, 0) == 0)
                return true;
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return false;
        };
        if (!tryOpen()) {
            // No sound card: the dummy driver consumes audio in real time, so
            // blocking plays still last as long as their sounds.
            SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
            if (!tryOpen())
                return ErrHardware;
        }
        int freq = 0, channels = 0;
        Uint16 format = 0;
        Mix_QuerySpec(&freq, &format, &channels);
        if (format != AUDIO_S16SYS || channels != 2 || freq <= 0) {
            Mix_CloseAudio();
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return ErrHardware;
        }
        return 0;
    }

public:
    // The SoundFont loads on the same thread once the device is open: the
    // first MIDI sound then starts as soon as any other.
    void openAhead()
    {
        if (!m_ready && !m_failed && !m_opener.joinable())
            m_opener = std::thread([this] {
                // SDL keeps an error text for each thread that calls it; a
                // thread SDL did not start must hand it back itself.
                struct TlsCleanup {
                    ~TlsCleanup() { SDL_TLSCleanup(); }
                } cleanup;
                std::call_once(m_openOnce, [this] { m_openError = openDevice(); });
                if (m_openError)
                    return;
                int freq = 0, channels = 0;
                Uint16 format = 0;
                Mix_QuerySpec(&freq, &format, &channels);
                prepareMidiFont(freq);
                // Taken over by the GUI thread, which then lets it rest.
                QMetaObject::invokeMethod(
                    this,
                    [this] {
                        if (!m_ready)
                            ensureAudio();
                    },
                    Qt::QueuedConnection);
            });
    }

private:
    int ensureAudio()
    {
        if (m_ready)
            return m_awake ? 0 : wakeDevice();
        if (m_failed)
            return ErrHardware;
        // Waits for an open already under way (not for the SoundFont after it).
        std::call_once(m_openOnce, [this] { m_openError = openDevice(); });
        if (m_openError) {
            m_failed = true;
            return ErrHardware;
        }
        int freq = 0, channels = 0;
        Uint16 format = 0;
        Mix_QuerySpec(&freq, &format, &channels);
        Mix_AllocateChannels(kFirstChannels);
        m_used.assign(kFirstChannels, false);
        m_serial.assign(kFirstChannels, 0);
        s_live = this;
        Mix_ChannelFinished(&Player::finished);
        driver = QString::fromUtf8(SDL_GetCurrentAudioDriver());
        rate = freq;
        m_ready = true;
        m_awake = true;
        armRest();
        return 0;
    }

    void shutdown()
    {
        if (m_opener.joinable()) {
            if (!m_ready)
                ensureAudio(); // what opened ahead is closed below
            m_opener.join();
        }
        closed();
        if (!m_ready)
            return;
        m_rest.stop();
        s_resting = nullptr;
        Mix_ChannelFinished(nullptr);
        s_live = nullptr;
        halt(-1);
        g_speech.stop();
        m_open.clear();
        m_silentChunk.reset();
        m_speechChannel = -1;
        cache.clear();
        if (m_awake)
            Mix_CloseAudio();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        releaseMidiFont();
        m_ready = false;
        m_awake = false;
    }

    int freeChannel()
    {
        const auto it = std::find(m_used.begin(), m_used.end(), false);
        if (it != m_used.end())
            return int(it - m_used.begin());
        const int have = int(m_used.size());
        if (have >= kMaxChannels)
            return -1;
        const int want = std::min(have * 2, kMaxChannels);
        if (Mix_AllocateChannels(want) != want)
            return -1;
        m_used.resize(size_t(want), false);
        m_serial.resize(size_t(want), 0);
        return have;
    }

    void bump(int channel)
    {
        ++m_serial[size_t(channel)];
        wake();
    }

    bool ended(const Wait &w) const
    {
        if (m_serial[size_t(w.channel)] != w.serial || !playing(w.channel))
            return true;
        for (const auto &[alias, sound] : m_open)
            if (sound.channel == w.channel && sound.midi)
                return sound.midi->ended();
        return false;
    }

    void wake()
    {
        for (Wait *w : m_waits)
            if (ended(*w))
                w->loop->quit();
        armRest();
    }

    int open(const Command &c)
    {
        const std::optional<Device> device = deviceOf(c.type);
        if (!device)
            return ErrInvalidDeviceName;
        if (c.alias == u"all")
            return ErrInvalidDeviceName;

        // A new sound on an alias replaces the old one, which stops now even
        // if the new file turns out to be unusable.
        close(c.alias);
        if (int e = ensureAudio())
            return e;

        // Taken literally: no wildcard expansion, no resource paths.
        const QFileInfo info(literalPath(c.path));
        if (!info.isFile())
            return ErrFileNotFound;
        if (*device == Device::Sequencer) {
            if (info.size() > maxFileBytes(*device))
                return ErrOutOfMemory;
            const QString path = info.filePath();
            const int at = rate;
            MidiOpen song = runAside([&] { return openMidi(path, at); });
            if (song.error)
                return song.error;
            Sound s;
            s.midi = std::move(song.synth);
            return keep(c.alias, std::move(s));
        }
        const SoundCache::Key key{info.absoluteFilePath(), info.size(), info.lastModified().toMSecsSinceEpoch(),
                                  int(*device), rate};
        SoundCache::Entry sound;
        if (const auto hit = cache.find(key)) {
            sound = *hit;
        } else if (info.size() > maxFileBytes(*device)) {
            sound.error = ErrOutOfMemory;
            cache.insert(key, sound);
        } else {
            ++decodes;
            const QString path = info.filePath();
            const Device dev = *device;
            const int at = rate;
            sound = runAside([&] { return decodeFile(path, dev, at); });
            // A file that could not be read may be readable next time.
            // Everything else stands while the file stays the same.
            if (sound.error != ErrFileNotFound && sound.error != ErrHardware)
                cache.insert(key, sound);
        }
        if (sound.error)
            return sound.error;
        // The device may have rested during the decode.
        if (int e = ensureAudio())
            return e;
        Sound s;
        s.pcm = std::move(sound.pcm);
        s.chunk.reset(Mix_QuickLoad_RAW(reinterpret_cast<Uint8 *>(s.pcm->data()), Uint32(s.pcm->bytes())));
        if (!s.chunk)
            return ErrOutOfMemory;
        return keep(c.alias, std::move(s));
    }

    int keep(const QString &alias, Sound s)
    {
        // A handler that ran during the decode may have opened this alias.
        close(alias);
        if (int e = ensureAudio())
            return e;
        s.channel = freeChannel();
        if (s.channel < 0)
            return ErrOutOfMemory;
        m_used[size_t(s.channel)] = true;
        m_open.emplace(alias, std::move(s));
        return 0;
    }

    int play(const Command &c)
    {
        const auto it = m_open.find(c.alias);
        if (it == m_open.end())
            return ErrInvalidDeviceName;
        Sound &s = it->second;
        const int ch = s.channel;
        if (int e = ensureAudio())
            return e;
        Mix_HaltChannel(ch); // always from the start
        bump(ch);
        // Effects are dropped each time a channel finishes, so they go on anew.
        Mix_Chunk *chunk = s.chunk.get();
        if (s.midi) {
            chunk = silentChunk();
            if (!chunk)
                return ErrOutOfMemory;
            s.midi->rewind(); // halted: the audio thread no longer fills it
            Mix_RegisterEffect(ch, midiEffect, nullptr, s.midi.get());
        }
        if (g_tap.load())
            Mix_RegisterEffect(ch, tapEffect, nullptr, nullptr);
        if (Mix_PlayChannel(ch, chunk, s.midi ? -1 : 0) < 0) {
            Mix_UnregisterAllEffects(ch);
            return ErrHardware;
        }
        if (c.wait)
            waitForEnd(ch);
        return 0;
    }

    // Returns when the sound ends, or when a nested handler stops, closes or
    // replaces it. Repaints and timers go on; user input waits.
    void waitForEnd(int ch)
    {
        Wait w{ch, m_serial[size_t(ch)], nullptr};
        if (!QCoreApplication::instance()) {
            while (!ended(w))
                SDL_Delay(5);
            haltEnded();
            return;
        }
        const inputhold::Hold hold;
        QEventLoop loop;
        w.loop = &loop;
        m_waits.push_back(&w);
        if (!ended(w))
            loop.exec(QEventLoop::ExcludeUserInputEvents);
        m_waits.erase(std::find(m_waits.begin(), m_waits.end(), &w));
    }

    int stop(const QString &alias)
    {
        const auto it = m_open.find(alias);
        if (it == m_open.end())
            return ErrInvalidDeviceName;
        halt(it->second.channel);
        bump(it->second.channel);
        return 0;
    }

    void release(std::map<QString, Sound>::iterator it)
    {
        const int ch = it->second.channel;
        halt(ch); // the audio thread lets go of the chunk and the synthesiser
        dropEffects(ch);
        if (m_closer.joinable() && !m_closed)
            m_closing.push_back(std::move(it->second)); // a chunk is freed through the mixer
        else
            closed();
        m_open.erase(it);
        m_used[size_t(ch)] = false;
        bump(ch);
    }

    int close(const QString &alias)
    {
        if (alias == u"all") {
            while (!m_open.empty())
                release(m_open.begin());
            return 0;
        }
        const auto it = m_open.find(alias);
        if (it == m_open.end())
            return ErrInvalidDeviceName;
        release(it);
        return 0;
    }
};

std::unique_ptr<Player> g_player;

void midiEnded()
{
    Player::midiEndedOnAudioThread();
}

Player &player()
{
    if (!g_player) {
        g_player = std::make_unique<Player>();
        // Close the device while the application object still exists.
        if (QCoreApplication::instance())
            qAddPostRoutine([] { g_player.reset(); });
    }
    return *g_player;
}

} // namespace

QString literalPath(const QString &path)
{
    return path.startsWith(u':') ? QStringLiteral("./") + path : path;
}

int decodeCount()
{
    return g_player ? g_player->decodes : 0;
}

qint64 cacheBytes()
{
    return g_player ? g_player->cache.bytes() : 0;
}

void setCacheLimit(qint64 bytes)
{
    player().cache.setLimit(bytes);
}

void setTap(TapFn fn, void *user)
{
    g_tap = nullptr;
    g_tapUser = user;
    g_tap = fn;
}

int channelOf(const QString &alias)
{
    return g_player ? g_player->channelOf(alias) : -1;
}

int lengthMs(const QString &alias)
{
    return g_player ? g_player->lengthMs(alias) : -1;
}

int positionMs(const QString &alias)
{
    return g_player ? g_player->positionMs(alias) : -1;
}

quint64 startSpeech()
{
    try {
        if (player().speechChannel() < 0)
            return 0;
        player().armRest();
        return g_speech.start(player().rate);
    } catch (...) {
        return 0;
    }
}

bool pushSpeech(quint64 serial, const qint16 *mono, size_t frames, int rate)
{
    try {
        if (!g_speech.push(serial, mono, frames, rate))
            return false;
        Player::speechWhileResting();
        return true;
    } catch (...) {
        return false; // out of memory: what was queued still plays
    }
}

void stopSpeech() { g_speech.stop(); }

bool speechPlaying() { return g_speech.playing(); }

int speechChannel() { return g_player ? g_player->speechChannelIfOpen() : -1; }

void openAhead()
{
    try {
        player().openAhead();
    } catch (...) {
        // No thread: the first sound opens the device itself.
    }
}

void setRestAfter(int ms) { g_restAfterMs = std::max(1, ms); }

bool resting() { return g_player && g_player->resting(); }

bool closing() { return g_player && g_player->closing(); }

QString audioDriver()
{
    return g_player ? g_player->driver : QString();
}

int sampleRate()
{
    return g_player ? g_player->rate : 0;
}

} // namespace mci

int sendMci(const QString &command)
{
    try {
        const mci::Parsed p = mci::parseCommand(command);
        if (p.error)
            return p.error;
        return mci::player().run(p.cmd);
    } catch (const std::bad_alloc &) {
        return mci::ErrOutOfMemory;
    } catch (...) {
        return mci::ErrHardware;
    }
}

} // namespace platform
