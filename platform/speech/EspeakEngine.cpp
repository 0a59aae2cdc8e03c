// The speech engine on espeak-ng: words to their readings, synthesis on a
// thread of its own, samples streamed to the mixer's speech channel.
#include "platform/speech/SpeechEngine.h"

#include "platform/mci/Mci.h"
#include "platform/speech/Reading.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace speech {
namespace {

// What the voice dialog sets, kept in the user's own settings of this
// engine (the board's settings file has a fixed layout with no room for it).
struct Voice {
    QString name = QStringLiteral("ja");
    int rate = espeakRATE_NORMAL; // words a minute
    int pitch = 50;               // 0..100
    int volume = 100;             // 0..200

    static Voice stored()
    {
        QSettings s(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Soratobi4"), QStringLiteral("speech"));
        Voice v;
        v.name = s.value(QStringLiteral("voice"), v.name).toString();
        v.rate = std::clamp(s.value(QStringLiteral("rate"), v.rate).toInt(), espeakRATE_MINIMUM, espeakRATE_MAXIMUM);
        v.pitch = std::clamp(s.value(QStringLiteral("pitch"), v.pitch).toInt(), 0, 100);
        v.volume = std::clamp(s.value(QStringLiteral("volume"), v.volume).toInt(), 0, 200);
        return v;
    }
    void store() const
    {
        QSettings s(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Soratobi4"), QStringLiteral("speech"));
        s.setValue(QStringLiteral("voice"), name);
        s.setValue(QStringLiteral("rate"), rate);
        s.setValue(QStringLiteral("pitch"), pitch);
        s.setValue(QStringLiteral("volume"), volume);
    }
};

// A line longer than this is said only up to here (a few minutes of speech).
constexpr qsizetype kMaxSpokenChars = 2000;

class EspeakEngine;

// espeak-ng keeps global state, so one synthesiser serves the process, on
// one thread; engines are handles to it.
class Synth {
public:
    enum class State { Loading, Ready, Failed };

    // Shared: an engine held by a static outlives this function's own copy
    // at exit, and keeps its synthesiser until it goes.
    static std::shared_ptr<Synth> instance()
    {
        static const std::shared_ptr<Synth> s(new Synth, [](Synth *p) { delete p; });
        return s;
    }

    State state() const { return m_state; }

    void speak(quint64 serial, const QString &text)
    {
        std::lock_guard lock(m_mutex);
        m_job = Job{serial, text.left(kMaxSpokenChars)};
        m_cv.notify_all();
    }
    void cancel()
    {
        std::lock_guard lock(m_mutex);
        m_job.reset();
    }
    bool busy()
    {
        std::lock_guard lock(m_mutex);
        return m_job.has_value() || m_running;
    }
    void setVoice(const Voice &v)
    {
        std::lock_guard lock(m_mutex);
        m_voice = v;
        m_voiceChanged = true;
        m_cv.notify_all();
    }
    Voice voice()
    {
        std::lock_guard lock(m_mutex);
        return m_voice;
    }
    QStringList voices()
    {
        std::lock_guard lock(m_mutex);
        return m_voices;
    }

    void addListener(EspeakEngine *e)
    {
        std::lock_guard lock(m_mutex);
        m_listeners.push_back(e);
    }
    void removeListener(EspeakEngine *e)
    {
        std::lock_guard lock(m_mutex);
        std::erase(m_listeners, e);
    }

private:
    struct Job {
        quint64 serial;
        QString text;
    };

    Synth() : m_thread([this] { s_self = this; run(); }) {}
    ~Synth()
    {
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
            m_cv.notify_all();
        }
        m_thread.join();
    }

    static int SynthCallback(short *wav, int samples, espeak_EVENT *events)
    {
        (void)events;
        Synth &s = *s_self;
        if (s.m_quit)
            return 1;
        if (!wav || samples <= 0 || s.m_warming)
            return 0;
        // The voice starts a text with a pause of its own (some 40 ms); a
        // line is heard the moment it is asked for.
        if (s.m_leading) {
            short *first = std::find_if(wav, wav + samples, [](short v) { return v != 0; });
            samples -= int(first - wav);
            wav = first;
            if (samples == 0)
                return 0;
            s.m_leading = false;
        }
        if (!platform::mci::pushSpeech(s.m_serial, wav, size_t(samples), s.m_sampleRate))
            return 1; // stopped or replaced: no more of this line
        return 0;
    }

    void say(const QString &text)
    {
        const QByteArray said = reading(text).toUtf8();
        espeak_Synth(said.constData(), size_t(said.size()) + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr,
                     nullptr);
    }

    void applyVoice(const Voice &v)
    {
        if (espeak_SetVoiceByName(v.name.toUtf8().constData()) != EE_OK)
            espeak_SetVoiceByName("ja");
        espeak_SetParameter(espeakRATE, v.rate, 0);
        espeak_SetParameter(espeakPITCH, v.pitch, 0);
        espeak_SetParameter(espeakVOLUME, v.volume, 0);
    }

    void notifyFailed();
    void notifyReady();

    void run()
    {
        // 50 ms blocks: the first one reaches the mixer soon after a line starts.
        m_sampleRate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 50, nullptr, espeakINITIALIZE_DONT_EXIT);
        if (m_sampleRate <= 0 || espeak_SetVoiceByName("ja") != EE_OK) {
            m_state = State::Failed;
            notifyFailed();
            return;
        }
        espeak_SetSynthCallback(&Synth::SynthCallback);
        QStringList names{QStringLiteral("ja")};
        espeak_VOICE variants{};
        variants.languages = "variant";
        for (const espeak_VOICE **v = espeak_ListVoices(&variants); v && *v; ++v)
            if ((*v)->identifier)
                names << QStringLiteral("ja+") + QString::fromUtf8((*v)->identifier).section(u'/', -1);
        const Voice stored = Voice::stored();
        {
            std::lock_guard lock(m_mutex);
            m_voices = names;
            m_voice = stored;
            m_voiceChanged = true;
        }
        loadReadingDictionary();
        // The first line would find the dictionary and the voice's tables
        // still on disk: one is said here, to nobody, while nobody waits.
        m_warming = true;
        say(QStringLiteral("次は、市役所前です。"));
        m_warming = false;
        m_state = State::Ready;
        notifyReady();

        std::unique_lock lock(m_mutex);
        for (;;) {
            m_cv.wait(lock, [this] { return m_quit || m_job || m_voiceChanged; });
            if (m_quit)
                break;
            if (m_voiceChanged) {
                m_voiceChanged = false;
                const Voice v = m_voice;
                lock.unlock();
                applyVoice(v);
                lock.lock();
                continue;
            }
            Job job = std::move(*m_job);
            m_job.reset();
            m_running = true;
            m_serial = job.serial;
            m_leading = true;
            lock.unlock();
            say(job.text);
            lock.lock();
            m_running = false;
        }
        lock.unlock();
        espeak_Terminate();
    }

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::optional<Job> m_job;
    bool m_running = false;
    bool m_voiceChanged = false;
    std::atomic<bool> m_quit{false};
    std::atomic<State> m_state{State::Loading};
    std::atomic<quint64> m_serial{0};
    bool m_warming = false; // synthesis thread only, as is the next
    bool m_leading = false; // the line's first sound not reached yet
    int m_sampleRate = 0;
    Voice m_voice;
    QStringList m_voices{QStringLiteral("ja")};
    std::vector<EspeakEngine *> m_listeners;
    static inline Synth *s_self = nullptr; // set on the thread, before the first callback
    std::thread m_thread;                  // last: starts when the rest is ready
};

class VoiceDialog : public QDialog {
public:
    VoiceDialog(QWidget *owner, const QString &title, const QStringList &voices, const Voice &v,
                std::function<void(const Voice &)> listen)
        : QDialog(owner)
    {
        setWindowTitle(title);
        auto *form = new QFormLayout;
        m_voice = new QComboBox(this);
        m_voice->addItems(voices);
        if (m_voice->findText(v.name) < 0)
            m_voice->addItem(v.name);
        m_voice->setCurrentText(v.name);
        m_voice->setAccessibleName(QStringLiteral("voice"));
        form->addRow(QStringLiteral("声"), m_voice);
        m_rate = slider(espeakRATE_MINIMUM, espeakRATE_MAXIMUM, v.rate, QStringLiteral("rate"));
        form->addRow(QStringLiteral("速さ"), m_rate);
        m_pitch = slider(0, 100, v.pitch, QStringLiteral("pitch"));
        form->addRow(QStringLiteral("高さ"), m_pitch);
        m_volume = slider(0, 200, v.volume, QStringLiteral("volume"));
        form->addRow(QStringLiteral("音量"), m_volume);
        auto *sample = new QPushButton(QStringLiteral("試聴"), this);
        connect(sample, &QPushButton::clicked, this, [this, listen] { listen(chosen()); });
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
        buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        auto *layout = new QVBoxLayout(this);
        layout->addLayout(form);
        layout->addWidget(sample);
        layout->addWidget(buttons);
    }

    Voice chosen() const
    {
        Voice v;
        v.name = m_voice->currentText();
        v.rate = m_rate->value();
        v.pitch = m_pitch->value();
        v.volume = m_volume->value();
        return v;
    }

private:
    QSlider *slider(int lo, int hi, int value, const QString &name)
    {
        auto *s = new QSlider(Qt::Horizontal, this);
        s->setRange(lo, hi);
        s->setValue(value);
        s->setAccessibleName(name);
        s->setMinimumWidth(200);
        return s;
    }

    QComboBox *m_voice;
    QSlider *m_rate, *m_pitch, *m_volume;
};

class EspeakEngine : public Engine {
public:
    EspeakEngine()
    {
        m_synth->addListener(this);
        // While a line is said, its end is looked for; at rest nothing runs.
        m_saying.setInterval(100);
        connect(&m_saying, &QTimer::timeout, this, [this] {
            if (Status() != kSpeaking) {
                m_saying.stop();
                emit statusChanged();
            }
        });
        if (m_synth->state() == Synth::State::Failed)
            QMetaObject::invokeMethod(this, &Engine::unavailable, Qt::QueuedConnection);
        else if (m_synth->state() == Synth::State::Ready)
            QMetaObject::invokeMethod(this, &platform::mci::openAhead, Qt::QueuedConnection);
    }
    ~EspeakEngine() override
    {
        Stop();
        m_synth->removeListener(this);
    }

    void Speak(const QString &text) override
    {
        m_noAudio = false;
        if (m_synth->state() == Synth::State::Failed)
            return;
        const quint64 serial = platform::mci::startSpeech();
        if (serial == 0) {
            m_noAudio = true;
            return;
        }
        if (!text.isEmpty())
            m_synth->speak(serial, text);
        if (Status() == kSpeaking)
            m_saying.start();
        emit statusChanged();
    }

    void Stop() override
    {
        m_synth->cancel();
        platform::mci::stopSpeech();
        m_saying.stop();
        emit statusChanged();
    }

    int Status() override
    {
        Synth &s = *m_synth;
        if (m_noAudio || s.state() == Synth::State::Failed)
            return kFailed;
        return s.busy() || platform::mci::speechPlaying() ? kSpeaking : kIdle;
    }

    void ShowVoiceDialog(QWidget *owner, const QString &title) override
    {
        Synth &s = *m_synth;
        const Voice before = s.voice();
        VoiceDialog dialog(owner, title, s.voices(), before, [this](const Voice &v) {
            m_synth->setVoice(v);
            Stop();
            Speak(QStringLiteral("次は、市役所前です。"));
        });
        const bool ok = dialog.exec() == QDialog::Accepted;
        Stop();
        const Voice after = ok ? dialog.chosen() : before;
        s.setVoice(after);
        if (ok)
            after.store();
    }

private:
    const std::shared_ptr<Synth> m_synth = Synth::instance();
    bool m_noAudio = false; // the last line found no audio device at all
    QTimer m_saying;
};

void Synth::notifyFailed()
{
    std::lock_guard lock(m_mutex);
    for (EspeakEngine *e : m_listeners)
        QMetaObject::invokeMethod(e, &Engine::unavailable, Qt::QueuedConnection);
}

// The audio device is opened now, by the GUI thread, which only starts the
// open on a thread of its own: start-up is over by the time the voice is
// ready, and the first line need not wait for the device.
void Synth::notifyReady()
{
    std::lock_guard lock(m_mutex);
    if (!m_listeners.empty())
        QMetaObject::invokeMethod(m_listeners.front(), &platform::mci::openAhead, Qt::QueuedConnection);
}

} // namespace

std::unique_ptr<Engine> createEngine()
{
    try {
        return std::make_unique<EspeakEngine>();
    } catch (...) {
        return nullptr; // no thread for the synthesiser
    }
}

} // namespace speech

namespace speech {

namespace {
std::vector<qint16> *g_offline = nullptr;
int offlineCallback(short *wav, int samples, espeak_EVENT *)
{
    if (wav && samples > 0 && g_offline && g_offline->size() < size_t(22050) * 600)
        g_offline->insert(g_offline->end(), wav, wav + samples);
    return 0;
}
} // namespace

bool synthesise(const QString &text, std::vector<qint16> &mono, int &rate)
{
    static const int sampleRate = [] {
        const int r = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 500, nullptr, espeakINITIALIZE_DONT_EXIT);
        if (r <= 0 || espeak_SetVoiceByName("ja") != EE_OK)
            return 0;
        const Voice v = Voice::stored();
        if (espeak_SetVoiceByName(v.name.toUtf8().constData()) != EE_OK)
            espeak_SetVoiceByName("ja");
        espeak_SetParameter(espeakRATE, v.rate, 0);
        espeak_SetParameter(espeakPITCH, v.pitch, 0);
        espeak_SetParameter(espeakVOLUME, v.volume, 0);
        loadReadingDictionary();
        return r;
    }();
    mono.clear();
    rate = sampleRate;
    if (sampleRate <= 0)
        return false;
    espeak_SetSynthCallback(&offlineCallback);
    g_offline = &mono;
    const QByteArray said = reading(text.left(kMaxSpokenChars)).toUtf8();
    espeak_Synth(said.constData(), size_t(said.size()) + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, nullptr);
    g_offline = nullptr;
    // Heard from its first sound, as the live engine plays it.
    const auto first = std::find_if(mono.begin(), mono.end(), [](qint16 v) { return v != 0; });
    mono.erase(mono.begin(), first);
    return true;
}

} // namespace speech
