// The real speech engine on SDL's dummy driver: a spoken line is heard on
// the speech channel of its own, stop silences it at once, and the sound
// channels' "close all" leaves it alone.
#include "platform/mci/Mci.h"
#include "platform/speech/SpeechEngine.h"

#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <cstdlib>

namespace {

std::atomic<qint64> g_energy{0};  // summed |sample| on the speech channel
std::atomic<qint64> g_elsewhere{0}; // the same on every other channel

void tap(int channel, const void *stream, int bytes, void *)
{
    const auto *s = static_cast<const qint16 *>(stream);
    qint64 sum = 0;
    for (int i = 0; i < bytes / 2; ++i)
        sum += std::abs(int(s[i]));
    (channel == platform::mci::speechChannel() ? g_energy : g_elsewhere) += sum;
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
