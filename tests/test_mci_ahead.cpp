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

    // Quiet, the device closes (the disk driver's file stops growing); a
    // sound, or speech queued while it rests, opens it again and is heard.
    void deviceRestsWhenQuietAndWakesForWhatSoundsNext()
    {
        QTemporaryDir dir;
        const QString out = dir.filePath(QStringLiteral("again.raw"));
        qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(out)); // read at each open
        const QString wav = dir.filePath(QStringLiteral("t.wav"));
        QVERIFY(soundfix::writeFile(wav, soundfix::wav(0.2)));
        platform::mci::setRestAfter(300);
        const auto loudIn = [&] {
            QFile f(out);
            if (!f.open(QIODevice::ReadOnly))
                return -1;
            const QByteArray b = f.readAll();
            const auto *s = reinterpret_cast<const qint16 *>(b.constData());
            int loud = 0;
            for (qsizetype i = 0; i < b.size() / 2; ++i)
                loud += std::abs(int(s[i])) > 1000;
            return loud;
        };
        const auto restsAndStaysStill = [&] {
            QTRY_VERIFY_WITH_TIMEOUT(platform::mci::resting(), 10000); // the first waits out the spell set before
            const qint64 size = QFileInfo(out).size();
            QTest::qWait(200);
            QCOMPARE(QFileInfo(out).size(), size);
        };

        restsAndStaysStill();
        QCOMPARE(platform::sendMci("open \"" + wav + "\" type waveaudio alias f"), 0);
        QCOMPARE(platform::sendMci(QStringLiteral("play f wait")), 0);
        QVERIFY(!platform::mci::resting());
        QTest::qWait(100);
        QVERIFY(loudIn() > 44100 / 10);
        QCOMPARE(platform::sendMci(QStringLiteral("close f")), 0);

        restsAndStaysStill();
        const quint64 serial = platform::mci::startSpeech();
        QVERIFY(serial != 0);
        restsAndStaysStill(); // started, but nothing came yet
        std::vector<qint16> tone(22050);
        for (size_t i = 0; i < tone.size(); ++i)
            tone[i] = (i / 20) % 2 ? 8000 : -8000;
        QVERIFY(platform::mci::pushSpeech(serial, tone.data(), tone.size(), 22050));
        QTRY_VERIFY_WITH_TIMEOUT(!platform::mci::resting(), 2000);
        QTRY_VERIFY_WITH_TIMEOUT(!platform::mci::speechPlaying(), 5000);
        QTest::qWait(100);
        QVERIFY2(loudIn() > 44100, qPrintable(QString::number(loudIn()))); // the half second, in stereo
        platform::mci::setRestAfter(5000);
    }
};

QTEST_MAIN(TestMciAhead)
#include "test_mci_ahead.moc"
