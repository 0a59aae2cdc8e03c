// mdlSndAPI against a recording MCI: which command strings go out, in which order.
#include "sound/mdlSndAPI.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <stdexcept>

using namespace mdlSndAPI;

namespace {

struct Sent {
    QString command;
    qint64 atMs;
};

} // namespace

class TestSoundApi : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::vector<Sent> m_sent;
    QElapsedTimer m_clock;
    std::function<int(const QString &)> m_answer; // result per command; 0 when unset

    QString touch(const QString &relative)
    {
        const QString p = m_dir.filePath(relative);
        QDir().mkpath(QFileInfo(p).path());
        QFile f(p);
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot create %s", qPrintable(p));
        return p;
    }

    QStringList commands() const
    {
        QStringList out;
        for (const Sent &s : m_sent)
            out << s.command;
        return out;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_clock.start();
    }

    void init()
    {
        m_sent.clear();
        m_answer = nullptr;
        setMciSender([this](const QString &c) {
            m_sent.push_back({c, m_clock.elapsed()});
            return m_answer ? m_answer(c) : 0;
        });
    }

    void cleanupTestCase() { setMciSender(nullptr); }

    void commandsFollowTheEnding_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("channel");
        QTest::addColumn<int>("sync");
        QTest::addColumn<QString>("type"); // empty: the ending is not one we play
        QTest::newRow("wav async") << "chime.wav" << "S1" << 0 << "waveaudio";
        QTest::newRow("wav mixed case sync") << "chime.WaV" << "S2" << -1 << "waveaudio";
        QTest::newRow("mp3 upper async") << "step.MP3" << "S2" << 0 << "mpegvideo";
        QTest::newRow("mid sync 1") << "annc.Mid" << "S3" << 1 << "sequencer";
        QTest::newRow("blanks in path") << "my sounds/bell chime.wav" << "S3" << 0 << "waveaudio";
        QTest::newRow("japanese path") << "音声/発車.mp3" << "S2" << -1 << "mpegvideo";
        // Wildcard characters are part of a literal name.
        QTest::newRow("star in name") << "*.wav" << "S1" << 0 << "waveaudio";
        QTest::newRow("four-letter ending") << "chime.wave" << "S1" << 0 << "";
        QTest::newRow("other ending") << "chime.ogg" << "S2" << -1 << "";
        QTest::newRow("no ending") << "wav" << "S2" << 0 << "waveaudio";
        QTest::newRow("trailing blank") << "chime.wav " << "S1" << 0 << "";
    }

    void commandsFollowTheEnding()
    {
        QFETCH(QString, name);
        QFETCH(QString, channel);
        QFETCH(int, sync);
        QFETCH(QString, type);
        const QString path = touch(name);
        const QString alias = "test_sound_api" + channel;

        SndPlay(path, channel, qint16(sync), 0);

        QStringList expected{"close " + alias};
        if (!type.isEmpty()) {
            expected << "open \"" + path + "\" type " + type + " alias " + alias + " wait";
            if (sync)
                expected << "play " + alias + " from 0 wait";
            else
                expected << "stop " + alias << "play " + alias + " from 0";
        }
        QCOMPARE(commands(), expected);
    }

    void nothingIsSentWithoutAFile_data()
    {
        QTest::addColumn<QString>("path");
        touch("quiet/only.wav");
        QDir(m_dir.path()).mkpath("quiet/folder.wav");
        const QDir q(m_dir.filePath("quiet"));
        QTest::newRow("empty") << QString();
        QTest::newRow("missing") << q.filePath("gone.wav");
        QTest::newRow("directory") << q.filePath("folder.wav");
        QTest::newRow("pattern") << q.filePath("*.wav");
        QTest::newRow("pattern ?") << q.filePath("only.wa?");
        QTest::newRow("blanks only") << "   ";
    }

    void nothingIsSentWithoutAFile()
    {
        QFETCH(QString, path);
        SndPlay(path, "S1", 0, 0);
        SndPlay(path, "S2", -1, 100);
        QCOMPARE(commands(), QStringList());
    }

    void failuresEndInSilence()
    {
        const QString path = touch("fail.mp3");
        const QString alias = "test_sound_apiS2";

        // A failed open ends the play; nothing more is sent.
        m_answer = [](const QString &c) { return c.startsWith("open") ? 275 : 0; };
        SndPlay(path, "S2", -1, 500);
        QCOMPARE(commands(), QStringList({"close " + alias, "open \"" + path + "\" type mpegvideo alias " + alias + " wait"}));

        // Failing close, stop and play are ignored.
        m_sent.clear();
        m_answer = [](const QString &c) { return c.startsWith("open") ? 0 : 263; };
        SndPlay(path, "S2", 0, 0);
        QCOMPARE(commands().size(), 4);

        // Nothing the player throws reaches the caller.
        m_answer = [](const QString &) -> int { throw std::runtime_error("device gone"); };
        SndPlay(path, "S2", -1, 0);
        SndCloseAll();
    }

    void closeAllClosesTheFourChannelsAndTheyReopen()
    {
        m_answer = [](const QString &) { return 263; }; // none was open
        SndCloseAll();
        QCOMPARE(commands(), QStringList({"close test_sound_apiS1", "close test_sound_apiS2",
                                          "close test_sound_apiS3", "close test_sound_apiS4"}));
        m_sent.clear();
        m_answer = nullptr;
        const QString path = touch("again.wav");
        SndPlay(path, "S4", 0, 0);
        QCOMPARE(commands().size(), 4);
        QCOMPARE(commands()[1], "open \"" + path + "\" type waveaudio alias test_sound_apiS4 wait");
    }

    // The pause follows the blocking play, and both keep timers (and so
    // repaints) running.
    void pauseFollowsASyncPlayWithoutFreezing()
    {
        const QString path = touch("pause.wav");
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(20);

        const qint64 start = m_clock.elapsed();
        SndPlay(path, "S2", -1, 300);
        const qint64 end = m_clock.elapsed();
        QCOMPARE(m_sent.size(), size_t(3));
        QVERIFY2(end - m_sent.back().atMs >= 295, qPrintable(QString::number(end - m_sent.back().atMs)));
        QVERIFY2(end - start < 20'000, qPrintable(QString::number(end - start))); // the pause ends
        QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));

        // No pause after an asynchronous play; a negative pause is none at
        // all. A pause that wrongly ran would last its full 30 seconds.
        QElapsedTimer t;
        t.start();
        SndPlay(path, "S1", 0, 30'000);
        SndPlay(path, "S2", -1, -1);
        QVERIFY2(t.elapsed() < 30'000, qPrintable(QString::number(t.elapsed())));
    }
};

QTEST_MAIN(TestSoundApi)
#include "test_sound_api.moc"
