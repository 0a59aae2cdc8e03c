// The audio device opened ahead of the first sound, on a thread of its own:
// SDL's disk driver writes what the mixer hands it to a real file, so the
// device is seen running before any sound, and the first sound then plays on
// that same device.
#include "platform/mci/Mci.h"
#include "tests/SoundFixtures.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>

class TestMciAhead : public QObject {
    Q_OBJECT

private slots:
    void firstSoundPlaysOnTheDeviceOpenedAhead()
    {
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("out.raw"));
        qputenv("SDL_AUDIODRIVER", "disk");
        qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(out));
        const QString wav = dir.filePath(QStringLiteral("t.wav"));
        QVERIFY(soundfix::writeFile(wav, soundfix::wav(0.2)));

        platform::mci::openAhead();
        platform::mci::openAhead(); // once is enough; the second does nothing
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(out).size() > 0, 5000); // silence, before any sound
        QFile f(out);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray before = f.readAll();
        for (char c : before)
            QCOMPARE(c, '\0');

        QCOMPARE(platform::sendMci("open \"" + wav + "\" type waveaudio alias f"), 0);
        QCOMPARE(platform::mci::audioDriver(), QStringLiteral("disk"));
        QCOMPARE(platform::sendMci(QStringLiteral("play f wait")), 0);
        QTest::qWait(100); // the last block out
        const QByteArray after = f.readAll();
        const auto *s = reinterpret_cast<const qint16 *>(after.constData());
        int loud = 0;
        for (qsizetype i = 0; i < after.size() / 2; ++i)
            loud += std::abs(int(s[i])) > 1000;
        QVERIFY2(loud > 44100 / 10, qPrintable(QString::number(loud))); // most of the 0.2 s tone
    }
};

QTEST_MAIN(TestMciAhead)
#include "test_mci_ahead.moc"
