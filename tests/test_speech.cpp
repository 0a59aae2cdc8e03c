// The real speech engine on SDL's dummy driver: a spoken line is heard on
// the speech channel of its own, stop silences it at once, and the sound
// channels' "close all" leaves it alone.
#include "platform/mci/Mci.h"
#include "platform/speech/SpeechEngine.h"

#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<qint64> g_energy{0};  // summed |sample| on the speech channel
std::atomic<qint64> g_elsewhere{0}; // the same on every other channel
std::atomic<bool> g_armed{false};   // waiting for the first loud speech sample
std::atomic<Clock::rep> g_loudAt{0};

void tap(int channel, const void *stream, int bytes, void *)
{
    const auto *s = static_cast<const qint16 *>(stream);
    const bool speech = channel == platform::mci::speechChannel();
    qint64 sum = 0;
    for (int i = 0; i < bytes / 2; ++i) {
        sum += std::abs(int(s[i]));
        if (speech && g_armed && std::abs(int(s[i])) > 1000) {
            // Its place in the block counts: that is when it is heard.
            const auto offset = std::chrono::microseconds(qint64(i / 2) * 1000000 / 44100);
            g_loudAt = (Clock::now() + offset).time_since_epoch().count();
            g_armed = false;
        }
    }
    (speech ? g_energy : g_elsewhere) += sum;
}

// Ms from Speak to the line's first loud sample in the mixer, the fastest
// of three tries (a loaded machine may stall any one of them).
double firstSoundMs(speech::Engine &e, const QString &line)
{
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        e.Stop();
        QTest::qWait(100); // what was said before is out
        g_armed = true;
        const Clock::time_point start = Clock::now();
        e.Speak(line);
        if (!QTest::qWaitFor([] { return !g_armed; }, 3000))
            continue; // no sound at all: the caller's bound fails
        best = std::min(best, std::chrono::duration<double, std::milli>(
                                  Clock::time_point(Clock::duration(g_loudAt.load())) - start).count());
    }
    g_armed = false;
    e.Stop();
    return best;
}

} // namespace

class TestSpeech : public QObject {
    Q_OBJECT
    QTemporaryDir m_config;

private slots:
    void initTestCase()
    {
        // The voice settings go to a folder of the test's own.
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_config.path());
        platform::mci::setTap(tap, nullptr);
    }
    void cleanupTestCase() { platform::mci::setTap(nullptr, nullptr); }

    void speaksOnItsOwnChannelAndStops()
    {
        std::unique_ptr<speech::Engine> e = speech::createEngine();
        QVERIFY(e);
        QSignalSpy gone(e.get(), &speech::Engine::unavailable);
        e->Speak(QStringLiteral("次は、市役所前です。お降りの方はお知らせください。"));
        QCOMPARE(e->Status(), speech::Engine::kSpeaking);
        QTRY_VERIFY_WITH_TIMEOUT(g_energy > 100000, 30'000); // the first line loads the voice
        QVERIFY(gone.isEmpty());
        QCOMPARE(g_elsewhere.load(), 0);
        const int channel = platform::mci::speechChannel();
        QVERIFY(channel >= 0);

        // The sound channels closing all they hold leave speech playing.
        QCOMPARE(platform::sendMci(QStringLiteral("close all")), 0);
        QCOMPARE(platform::mci::speechChannel(), channel);
        const qint64 before = g_energy;
        QTRY_VERIFY_WITH_TIMEOUT(g_energy > before, 20'000);

        e->Stop();
        QCOMPARE(e->Status(), speech::Engine::kIdle);
        QTest::qWait(80); // a block already in the mixer may still go out
        const qint64 stopped = g_energy;
        QTest::qWait(300);
        QCOMPARE(g_energy.load(), stopped);
    }

    // A line is heard as soon as it is asked for, however long it is: the
    // voice's samples go out while the rest is still being synthesised (the
    // longest line takes a good part of a second to synthesise whole). The
    // longest line is compared with the plain one measured the same way, so
    // a loaded or sanitised build slows both; s4bench has the real figures.
    void firstSoundComesAtOnce()
    {
        std::unique_ptr<speech::Engine> e = speech::createEngine();
        const QString line = QStringLiteral("次は、市役所前です。お降りの方はお知らせください。");
        e->Speak(line); // the voice loaded and the device open
        QTRY_VERIFY_WITH_TIMEOUT(g_energy > 0, 5000);
        const double plain = firstSoundMs(*e, line);
        QString longest;
        while (longest.size() < 2000)
            longest += line;
        const double longLine = firstSoundMs(*e, longest.left(2000));
        QVERIFY2(plain < 10000, qPrintable(QStringLiteral("%1 ms").arg(plain)));
        QVERIFY2(longLine < 2 * plain + 150,
                 qPrintable(QStringLiteral("%1 ms against %2 ms").arg(longLine).arg(plain)));
    }

    // A line runs to its end and the engine is idle again; an empty line
    // says nothing.
    void lineEndsIdle()
    {
        std::unique_ptr<speech::Engine> e = speech::createEngine();
        e->Speak(QStringLiteral("はい。"));
        QTRY_COMPARE_WITH_TIMEOUT(e->Status(), speech::Engine::kIdle, 30'000);
        const qint64 after = g_energy;
        e->Speak(QString());
        QCOMPARE(e->Status(), speech::Engine::kIdle);
        QTest::qWait(100);
        QCOMPARE(g_energy.load(), after);
    }
};

QTEST_MAIN(TestSpeech)
#include "test_speech.moc"
