// Speech figures: what creating the engine adds to start-up on the GUI
// thread, the reading step for one line, a spoken line to its first sample
// at the mixer, and "送り" to the first sound out of the audio driver, seen
// from outside the program.
#include "bench/Bench.h"
#include "platform/mci/Mci.h"
#include "platform/speech/Reading.h"
#include "platform/speech/SpeechEngine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
const QString kLine = QStringLiteral("次は、市役所前です。お降りの方はお知らせください。");

std::atomic<bool> g_armed{false};
std::atomic<Clock::rep> g_first{0};

void firstSpeechTap(int channel, const void *stream, int bytes, void *)
{
    if (!g_armed || channel != platform::mci::speechChannel())
        return;
    const auto *s = static_cast<const qint16 *>(stream);
    for (int i = 0; i < bytes / 2; ++i)
        if (s[i] != 0) {
            g_first = Clock::now().time_since_epoch().count();
            g_armed = false;
            return;
        }
}

std::unique_ptr<speech::Engine> &engine()
{
    static std::unique_ptr<speech::Engine> e;
    return e;
}

// The first creation in the process is the one start-up pays for.
bench::Register startup("speech: engine creation at start, on the GUI thread (first in the process)", "ms", 1, [] {
    QElapsedTimer t;
    t.start();
    engine() = speech::createEngine();
    return t.nsecsElapsed() / 1e6;
});

bench::Register readingStep("speech: reading step of one announcement line (warm)", "ms", 51, [] {
    speech::reading(kLine); // warm
    QElapsedTimer t;
    t.start();
    const QString r = speech::reading(kLine);
    const double ms = t.nsecsElapsed() / 1e6;
    return r.isEmpty() ? -1 : ms;
});

bench::Register firstSample("speech: TapeSpeak of an announcement line to its first sample at the mixer", "ms", 21, [] {
    if (!engine())
        engine() = speech::createEngine();
    speech::Engine &e = *engine();
    platform::mci::setTap(firstSpeechTap, nullptr);
    g_first = 0;
    g_armed = true;
    const Clock::rep start = Clock::now().time_since_epoch().count();
    e.Stop();
    e.Speak(kLine);
    e.Status();
    QElapsedTimer t;
    t.start();
    while (g_armed && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    g_armed = false;
    e.Stop();
    platform::mci::setTap(nullptr, nullptr);
    QThread::msleep(30);
    return g_first ? std::chrono::duration<double, std::milli>(Clock::duration(g_first.load() - start)).count() : -1;
});

// --- "送り" to the first sound, end to end ---------------------------------
//
// s4tapeprobe runs the board on SDL's disk driver, which writes each mixed
// block to a file the moment the mixer hands it over; this process watches
// the file, stamps every block as it appears and looks for the first loud
// sample after each press the probe reports. A sample's time is its block's
// plus its place in the block: when a device playing each block as it gets
// it would sound that sample.

constexpr int kRate = 44100;        // what the mixer asks for; the disk driver takes it as is
constexpr int kBlockFrames = 1024;  // the mixer's block
constexpr int kLoud = 1000;         // about -30 dB of full scale
constexpr int kQuietFrames = kRate / 10; // an onset follows 100 ms below that

// Watches the driver's file until told to stop; onsets of sound after quiet.
class OutputWatch {
public:
    explicit OutputWatch(QString path) : m_path(std::move(path)), m_thread([this] { run(); }) {}
    ~OutputWatch() { onsets(); }
    std::vector<qint64> onsets()
    {
        m_quit = true;
        if (m_thread.joinable())
            m_thread.join();
        return m_onsets;
    }

private:
    static qint64 now()
    {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
    }

    void run()
    {
        QFile f(m_path);
        QByteArray pending; // bytes of a block not complete yet
        qint64 quiet = kQuietFrames;
        const qint64 blockNs = qint64(kBlockFrames) * 1000000000 / kRate;
        while (!m_quit) {
            if (!f.isOpen() && !f.open(QIODevice::ReadOnly)) {
                QThread::usleep(500);
                continue;
            }
            const QByteArray got = f.readAll();
            const qint64 t = now();
            if (got.isEmpty()) {
                QThread::usleep(500);
                continue;
            }
            pending += got;
            const qsizetype blockBytes = kBlockFrames * 4;
            const qsizetype blocks = pending.size() / blockBytes;
            for (qsizetype b = 0; b < blocks; ++b) {
                // Blocks that came in one read were written a block apart.
                const qint64 blockAt = t - (blocks - 1 - b) * blockNs;
                const auto *s = reinterpret_cast<const qint16 *>(pending.constData() + b * blockBytes);
                for (int i = 0; i < kBlockFrames; ++i) {
                    const bool loud = std::abs(int(s[2 * i])) > kLoud || std::abs(int(s[2 * i + 1])) > kLoud;
                    if (loud && quiet >= kQuietFrames)
                        m_onsets.push_back(blockAt + qint64(i) * 1000000000 / kRate);
                    quiet = loud ? 0 : quiet + 1;
                }
            }
            pending.remove(0, blocks * blockBytes);
        }
    }

    QString m_path;
    std::vector<qint64> m_onsets;
    std::atomic<bool> m_quit{false};
    std::thread m_thread;
};

// One run of the probe: ms from each press to the first sound after it;
// 2000 where none came within 2 s (or the probe failed), so it shows as the worst.
constexpr double kNone = 2000;

std::vector<double> probe(int firstMs, int presses)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("out.raw"));
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("disk"));
    env.insert(QStringLiteral("SDL_DISKAUDIOFILE"), out);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path()); // the voice's own settings
    if (!env.contains(QStringLiteral("QT_QPA_PLATFORM")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    std::vector<qint64> onsets;
    {
        OutputWatch watch(out);
        p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/s4tapeprobe"),
                {QString::number(firstMs), QString::number(presses)});
        if (!p.waitForFinished(60000) || p.exitCode() != 0) {
            p.kill();
            p.waitForFinished();
            return std::vector<double>(size_t(presses), kNone);
        }
        onsets = watch.onsets();
    }
    std::vector<double> ms;
    for (const QByteArray &line : p.readAllStandardOutput().split('\n')) {
        if (!line.startsWith("press "))
            continue;
        const qint64 at = line.split(' ').value(1).toLongLong();
        const auto it = std::find_if(onsets.begin(), onsets.end(), [at](qint64 o) { return o >= at; });
        ms.push_back(it == onsets.end() ? kNone : std::min(kNone, (*it - at) / 1e6));
    }
    ms.resize(size_t(presses), kNone);
    return ms;
}

bench::Register firstPress("tape: 送り to its first sound out of the driver, first press 1 s after start", "ms", 7,
                           [] { return probe(1000, 1).front(); });

bench::Register laterPress("tape: 送り to its first sound out of the driver, later presses", "ms", 15, [] {
    static std::vector<double> later;
    static size_t next = 0;
    if (later.empty()) {
        later = probe(1000, 16);
        later.erase(later.begin());
    }
    return later[next++ % later.size()];
});

} // namespace
