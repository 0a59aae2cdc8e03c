// Without a usable audio device the player falls back to SDL's dummy driver,
// so sounds still "play" for their real length instead of failing.
#include "platform/mci/Mci.h"
#include "tests/SoundFixtures.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

class TestMciFallback : public QObject {
    Q_OBJECT

private slots:
    void noDeviceFallsBackToDummy()
    {
        // The same as a machine whose drivers all fail to open.
        qputenv("SDL_AUDIODRIVER", "no-such-driver");
        QTemporaryDir dir;
        const QString wav = dir.filePath("t.wav");
        QVERIFY(soundfix::writeFile(wav, soundfix::wav(0.4)));

        QCOMPARE(platform::mci::audioDriver(), QString()); // nothing opened at start-up
        QCOMPARE(platform::sendMci("open \"" + wav + "\" type waveaudio alias f wait"), 0);
        QCOMPARE(platform::mci::audioDriver(), QStringLiteral("dummy"));
        QElapsedTimer t;
        t.start();
        QCOMPARE(platform::sendMci("play f from 0 wait"), 0);
        QVERIFY2(t.elapsed() >= 350, qPrintable(QString::number(t.elapsed())));
    }
};

QTEST_MAIN(TestMciFallback)
#include "test_mci_fallback.moc"
