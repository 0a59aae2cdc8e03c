// Speech figures: what creating the engine adds to start-up on the GUI
// thread, the reading step for one line, and a spoken line to its first
// sample at the mixer.
#include "bench/Bench.h"
#include "platform/mci/Mci.h"
#include "platform/speech/Reading.h"
#include "platform/speech/SpeechEngine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <chrono>

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

} // namespace
