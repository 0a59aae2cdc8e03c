// The MCI player on SDL's dummy driver, which consumes audio in real time.
// A tap on every mixer channel shows which channel really sounded.
#include "platform/mci/Mci.h"
#include "tests/SoundFixtures.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <array>
#include <atomic>
#include <thread>

using platform::sendMci;
namespace mci = platform::mci;

namespace {

std::array<std::atomic<qint64>, 256> g_energy;
// Counted in the sound's own frames, which a busy machine does not stretch:
// the frames each channel has mixed, and the frame of its first loud sample.
std::array<std::atomic<qint64>, 256> g_frames;
std::array<std::atomic<qint64>, 256> g_loudFrame; // -1: none yet

void tap(int channel, const void *stream, int bytes, void *)
{
    if (channel < 0 || channel >= int(g_energy.size()))
        return;
    const auto *s = static_cast<const qint16 *>(stream);
    qint64 sum = 0;
    int loud = -1;
    for (int i = 0; i < bytes / 2; ++i) {
        sum += std::abs(int(s[i]));
        if (loud < 0 && std::abs(int(s[i])) > 2000)
            loud = i / 2;
    }
    const auto c = size_t(channel);
    g_energy[c] += sum;
    if (loud >= 0 && g_loudFrame[c] < 0)
        g_loudFrame[c] = g_frames[c] + loud;
    g_frames[c] += bytes / 4;
}

void resetEnergy()
{
    for (auto &e : g_energy)
        e = 0;
    for (auto &f : g_frames)
        f = 0;
    for (auto &f : g_loudFrame)
        f = -1;
}

qint64 framesToMs(qint64 frames)
{
    return frames * 1000 / mci::sampleRate();
}

qint64 energyExcept(int channel)
{
    qint64 sum = 0;
    for (size_t i = 0; i < g_energy.size(); ++i)
        if (int(i) != channel)
            sum += g_energy[i];
    return sum;
}

QString openCmd(const QString &path, const QString &type, const QString &alias)
{
    return QStringLiteral("open \"%1\" type %2 alias %3 wait").arg(path, type, alias);
}

} // namespace

class TestMciPlayer : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_wav, m_long, m_mid, m_mp3;

    QString file(const QString &name, const QByteArray &bytes)
    {
        const QString p = m_dir.filePath(name);
        if (!soundfix::writeFile(p, bytes))
            qFatal("cannot write %s", qPrintable(p));
        return p;
    }

private slots:
    void initTestCase()
    {
        qputenv("SDL_AUDIODRIVER", "dummy");
        QVERIFY(m_dir.isValid());
        m_wav = file(QStringLiteral("half second.wav"), soundfix::wav(0.5));
        m_long = file(QStringLiteral("long.wav"), soundfix::wav(3.0, 330));
        m_mid = file(QStringLiteral("note.mid"), soundfix::midi({{0.0, 0.5, 64}}));
        // Committed fixture (no encoder needed at build time), made with
        // sox -n -r 22050 -c 1 tone.wav synth 0.5 sine 660 vol 0.5 && lame -t -b 32 -m m tone.wav
        // (-t: no info frame, so copies of it join into one longer stream)
        m_mp3 = QStringLiteral(S4_TEST_DATA "/tone660.mp3");
        QVERIFY(QFileInfo(m_mp3).isFile());
        mci::setTap(tap, nullptr);
    }

    void init() { resetEnergy(); }
    void cleanup() { sendMci(QStringLiteral("close all")); }

    void blockingPlayLastsAsLongAsItsSound_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("minMs");
        QTest::addColumn<int>("maxMs");
        // Lower bounds allow for the last buffer. The upper bounds catch a
        // play that does not end with its sound, not a slow one: a busy
        // machine stretches every wait (the benchmark keeps the figures).
        QTest::newRow("wav") << m_wav << "waveaudio" << 450 << 10'000;
        QTest::newRow("mp3") << m_mp3 << "mpegvideo" << 450 << 10'000;
        QTest::newRow("mid") << m_mid << "sequencer" << 450 << 15'000;
    }

    void blockingPlayLastsAsLongAsItsSound()
    {
        QFETCH(QString, path);
        QFETCH(QString, type);
        QFETCH(int, minMs);
        QFETCH(int, maxMs);

        // A second alias holds a sound but does not play it.
        QCOMPARE(sendMci(openCmd(m_long, "waveaudio", "idle")), 0);
        QCOMPARE(sendMci(openCmd(path, type, "blk")), 0);
        const int ch = mci::channelOf("BLK");
        QVERIFY(ch >= 0);
        QVERIFY(ch != mci::channelOf("idle"));

        int ticks = 0;
        QTimer timer;
        timer.setInterval(10);
        connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start();
        resetEnergy();
        QElapsedTimer t;
        t.start();
        QCOMPARE(sendMci("play blk from 0 wait"), 0);
        const qint64 ms = t.elapsed();

        QVERIFY2(ms >= minMs && ms <= maxMs, qPrintable(QString::number(ms)));
        QVERIFY2(ticks >= 10, "timers must keep running during a blocking play");
        QVERIFY2(g_energy[size_t(ch)] > 1'000'000, qPrintable(QString::number(g_energy[size_t(ch)])));
        QCOMPARE(energyExcept(ch), 0);

        // It stays open after the end and plays again from the start.
        t.restart();
        QCOMPARE(sendMci("play blk from 0 wait"), 0);
        QVERIFY(t.elapsed() >= minMs);
    }

    void reopeningAnAliasStopsOnlyThatAlias()
    {
        QCOMPARE(sendMci(openCmd(m_long, "waveaudio", "a")), 0);
        QCOMPARE(sendMci(openCmd(m_long, "waveaudio", "b")), 0);
        const int a = mci::channelOf("a"), b = mci::channelOf("b");
        QCOMPARE(sendMci("play a from 0"), 0);
        QCOMPARE(sendMci("play b from 0"), 0);
        QTest::qWait(150);
        QVERIFY(g_energy[size_t(a)] > 0 && g_energy[size_t(b)] > 0);

        QCOMPARE(sendMci(openCmd(m_wav, "waveaudio", "a")), 0);
        QCOMPARE(mci::channelOf("b"), b);
        QTest::qWait(50); // a block mixed before the reopen may still be in flight
        resetEnergy();
        QTest::qWait(200);
        QCOMPARE(g_energy[size_t(a)].load(), 0);
        QCOMPARE(g_energy[size_t(mci::channelOf("a"))].load(), 0);
        QVERIFY(g_energy[size_t(b)] > 0);

        // A failed reopen still closes the alias.
        QCOMPARE(sendMci("play a from 0"), 0);
        QVERIFY(sendMci(openCmd(m_dir.filePath("missing.wav"), "waveaudio", "a")) != 0);
        QCOMPARE(mci::channelOf("a"), -1);
        QCOMPARE(sendMci("stop b"), 0);
        QTest::qWait(50);
        resetEnergy();
        QTest::qWait(100);
        QCOMPARE(energyExcept(-1), 0);
    }

    // A handler running inside a blocking play may stop or replace that sound:
    // the blocking play must then return instead of waiting out the old length.
    void blockingPlayEndsWhenANestedCommandEndsItsSound_data()
    {
        QTest::addColumn<QString>("opened");
        QTest::addColumn<QString>("nested");
        // Sounds far longer than any delay a busy machine makes: a play that
        // waited for its end instead of the nested command shows.
        const QString wave = openCmd(file(QStringLiteral("minute.wav"), soundfix::wav(60.0, 330, 8000)), "waveaudio", "w");
        const QString song = openCmd(file("minute.mid", soundfix::midi({{0, 60.0, 60}})), "sequencer", "w");
        QTest::newRow("stop") << wave << "stop w";
        QTest::newRow("close") << wave << "close w";
        QTest::newRow("close all") << wave << "close all";
        QTest::newRow("reopen") << wave << openCmd(m_wav, "waveaudio", "w");
        QTest::newRow("replay") << wave << "play w from 0";
        QTest::newRow("stop midi") << song << "stop w";
        QTest::newRow("close midi") << song << "close w";
        QTest::newRow("reopen midi") << song << openCmd(m_mid, "sequencer", "w");
        QTest::newRow("replay midi") << song << "play w from 0";
    }

    void blockingPlayEndsWhenANestedCommandEndsItsSound()
    {
        QFETCH(QString, opened);
        QFETCH(QString, nested);
        QCOMPARE(sendMci(opened), 0);
        int nestedResult = -1;
        QTimer::singleShot(150, [&] { nestedResult = sendMci(nested); });
        QElapsedTimer t;
        t.start();
        QCOMPARE(sendMci("play w from 0 wait"), 0);
        QCOMPARE(nestedResult, 0);
        QVERIFY2(t.elapsed() < 30'000, qPrintable(QString::number(t.elapsed())));
    }

    void closeAllThenPlayAgain()
    {
        QCOMPARE(sendMci(openCmd(m_long, "waveaudio", "x")), 0);
        QCOMPARE(sendMci(openCmd(m_mp3, "mpegvideo", "y")), 0);
        QCOMPARE(sendMci("play x from 0"), 0);
        QCOMPARE(sendMci("play y from 0"), 0);
        QTest::qWait(100);
        QCOMPARE(sendMci("close all"), 0);
        QCOMPARE(mci::channelOf("x"), -1);
        QCOMPARE(mci::channelOf("y"), -1);
        QCOMPARE(sendMci("play x from 0"), int(mci::ErrInvalidDeviceName));
        QCOMPARE(sendMci("close x"), int(mci::ErrInvalidDeviceName));
        QTest::qWait(50);
        resetEnergy();
        QTest::qWait(100);
        QCOMPARE(energyExcept(-1), 0);

        QCOMPARE(sendMci(openCmd(m_wav, "waveaudio", "x")), 0);
        QCOMPARE(sendMci("play x from 0 wait"), 0);
        QVERIFY(g_energy[size_t(mci::channelOf("x"))] > 0);
    }

    // The device closes after a quiet spell, on a thread of its own; what
    // comes while it is still closing waits for it and then plays, and an
    // alias let go of meanwhile is freed only once the mixer is done.
    void commandsWhileTheDeviceCloses_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("sounds");
        QTest::newRow("close the alias") << "close" << false;
        QTest::newRow("close all") << "close all" << false;
        QTest::newRow("play it again") << "play" << true;
        QTest::newRow("open another and play it") << "open" << true;
        QTest::newRow("speak") << "speak" << true;
    }

    void commandsWhileTheDeviceCloses()
    {
        QFETCH(QString, action);
        QFETCH(bool, sounds);
        mci::setRestAfter(20);
        QCOMPARE(sendMci(openCmd(m_wav, "waveaudio", "x")), 0);
        QCOMPARE(sendMci("play x from 0 wait"), 0);
        QElapsedTimer t;
        t.start();
        while (!mci::closing() && !mci::resting() && t.elapsed() < 3000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        QVERIFY2(mci::closing(), "the close was not caught under way");
        resetEnergy();
        int channel = -1;
        if (action == u"close" || action == u"close all") {
            QCOMPARE(sendMci(action == u"close" ? QStringLiteral("close x") : action), 0);
            QCOMPARE(mci::channelOf("x"), -1);
        } else if (action == u"play") {
            QCOMPARE(sendMci("play x from 0 wait"), 0);
            channel = mci::channelOf("x");
        } else if (action == u"open") {
            QCOMPARE(sendMci(openCmd(m_mp3, "mpegvideo", "y")), 0);
            QCOMPARE(sendMci("play y from 0 wait"), 0);
            channel = mci::channelOf("y");
        } else {
            const quint64 serial = mci::startSpeech();
            QVERIFY(serial != 0);
            channel = mci::speechChannel(); // gone again once it has rested
            std::vector<qint16> tone(11025);
            for (size_t i = 0; i < tone.size(); ++i)
                tone[i] = (i / 20) % 2 ? 8000 : -8000;
            QVERIFY(mci::pushSpeech(serial, tone.data(), tone.size(), 22050));
            QTRY_VERIFY_WITH_TIMEOUT(!mci::speechPlaying(), 5000);
        }
        if (sounds) {
            QVERIFY(channel >= 0);
            QVERIFY(g_energy[size_t(channel)] > 0);
        }
        QTRY_VERIFY_WITH_TIMEOUT(mci::resting(), 5000); // and it rests again
        mci::setRestAfter(5000);
    }

    void unusableFilesFailToOpenAndPlayNothing_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("type");
        const QByteArray good = soundfix::midi({{0, 0.3, 60}});
        QByteArray noise(4096, 0);
        QRandomGenerator rng(4);
        for (char &c : noise)
            c = char(rng.bounded(256));
        auto midiWith = [&](int at, const QByteArray &bytes) { return QByteArray(good).replace(at, bytes.size(), bytes); };

        QTest::newRow("missing") << m_dir.filePath("nothing here.wav") << "waveaudio";
        QTest::newRow("directory") << m_dir.path() << "waveaudio";
        QTest::newRow("empty") << file("empty.wav", {}) << "waveaudio";
        QTest::newRow("text as wav") << file("text.wav", "not a sound at all") << "waveaudio";
        QTest::newRow("truncated wav") << file("cut.wav", soundfix::wav(0.5).left(40)) << "waveaudio";
        QTest::newRow("mp3 on wave device") << m_mp3 << "waveaudio";
        QTest::newRow("noise as mp3") << file("noise.mp3", noise) << "mpegvideo";
        QTest::newRow("noise as mid") << file("noise.mid", noise) << "sequencer";
        QTest::newRow("wav as mid") << m_wav << "sequencer";
        QTest::newRow("mid header only") << file("head.mid", good.left(14)) << "sequencer";
        QTest::newRow("mid division 0") << file("div0.mid", midiWith(12, QByteArray(2, 0))) << "sequencer";
        QTest::newRow("mid smpte division") << file("smpte.mid", midiWith(12, "\xE7\x28")) << "sequencer";
        QTest::newRow("mid track past end") << file("long.mid", midiWith(18, QByteArray::fromHex("00010000"))) << "sequencer";
        QByteArray cut = good.left(good.size() - 6); // EOT and half a note-off gone, length fixed up
        cut.replace(18, 4, QByteArray::fromHex(QByteArray::number(cut.size() - 22, 16).rightJustified(8, '0')));
        QTest::newRow("mid cut in an event") << file("cutev.mid", cut) << "sequencer";
        QTest::newRow("mid endless length") << file("varlen.mid", midiWith(22, "\x81\x81\x81\x81\x81")) << "sequencer";
        // The pattern matches note.mid, but paths are never patterns.
        QTest::newRow("wildcard") << m_dir.filePath("*.mid") << "sequencer";
    }

    void unusableFilesFailToOpenAndPlayNothing()
    {
        QFETCH(QString, path);
        QFETCH(QString, type);
        QVERIFY(sendMci(openCmd(path, type, "bad")) != 0);
        QCOMPARE(mci::channelOf("bad"), -1);
        QVERIFY(sendMci("play bad from 0 wait") != 0);
        QTest::qWait(30);
        QCOMPARE(energyExcept(-1), 0);
    }

    // Damaged copies of good files: whatever open answers, it answers soon and
    // nothing crashes.
    void damagedFilesNeverHang()
    {
        QFile mp3(m_mp3);
        QVERIFY(mp3.open(QIODevice::ReadOnly));
        const struct {
            QByteArray bytes;
            const char *type;
        } sources[] = {{soundfix::midi({{0, 0.2, 60}, {0.1, 0.2, 67}}), "sequencer"},
                       {soundfix::wav(0.05), "waveaudio"},
                       {mp3.readAll(), "mpegvideo"}};
        QRandomGenerator rng(2024);
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < 150; ++i) {
            const auto &src = sources[i % 3];
            QByteArray b = src.bytes;
            for (int k = 0; k < 1 + i % 4; ++k)
                b[rng.bounded(int(b.size()))] = char(rng.bounded(256));
            if (i % 5 == 0)
                b.truncate(rng.bounded(int(b.size())));
            sendMci(openCmd(file(QStringLiteral("damaged%1").arg(i), b), src.type, "dmg"));
        }
        QVERIFY2(t.elapsed() < 30000, qPrintable(QString::number(t.elapsed())));
    }

    // Sounds are decoded whole, so a long one is cut at five minutes instead
    // of filling memory.
    void longSoundsAreCutAtFiveMinutes_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("type");
        QFile mp3(m_mp3);
        QVERIFY(mp3.open(QIODevice::ReadOnly));
        std::vector<soundfix::Note> notes;
        for (int i = 0; i < 400; ++i)
            notes.push_back({double(i), 0.9, 60 + i % 12});
        QTest::newRow("wav") << file("six minutes.wav", soundfix::wav(360, 100, 1000)) << "waveaudio";
        QTest::newRow("mp3") << file("six minutes.mp3", mp3.readAll().repeated(700)) << "mpegvideo";
        QTest::newRow("mid") << file("six minutes.mid", soundfix::midi(notes)) << "sequencer";
        // A block align of 1 below a 2-byte frame once cut this at a quarter of the bound.
        QByteArray narrow = soundfix::wav(360, 100, 1000);
        narrow[32] = 1;
        QTest::newRow("wav block align 1") << file("narrow six minutes.wav", narrow) << "waveaudio";
        QFile free(QStringLiteral(S4_FUZZ_CORPUS "/sound_open/mp3_free_format_frames.mp3"));
        QVERIFY(free.open(QIODevice::ReadOnly));
        QTest::newRow("free-format mp3") << file("free six minutes.mp3", free.read(304).repeated(12000)) << "mpegvideo";
    }

    void longSoundsAreCutAtFiveMinutes()
    {
        QFETCH(QString, path);
        QFETCH(QString, type);
        QCOMPARE(sendMci(openCmd(path, type, "long")), 0);
        const int ms = mci::lengthMs("long");
        QVERIFY2(ms >= 295'000 && ms <= 300'000, qPrintable(QString::number(ms)));
    }

    // Files made to hurt: each opens to a sound within the bound or fails
    // with its number, soon, and the windows paint all the while.
    void hostileFilesFailOrStayBounded_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("result"); // -1: a bounded sound
        const QString c = QStringLiteral(S4_FUZZ_CORPUS "/");
        const int invalid = mci::ErrInvalidFile, tooBig = mci::ErrOutOfMemory;
        QTest::newRow("ID3 frame that crashed the mixer") << c + "sound_open/id3_tag_frame_crash.mp3" << "mpegvideo" << invalid;
        QTest::newRow("ID3 frame of 1.8 GB") << c + "sound_open/id3_frame_claims_1800mb.mp3" << "mpegvideo" << invalid;
        QTest::newRow("data chunk of 4 GB") << c + "sound_open/wav_data_claims_4gb.wav" << "waveaudio" << invalid;
        QTest::newRow("two fmt chunks") << c + "sound_open/wav_two_fmt_rates.wav" << "waveaudio" << invalid;
        QTest::newRow("IMA ADPCM extensible") << c + "sound_open/wav_ima_adpcm_extensible.wav" << "waveaudio" << invalid;
        QTest::newRow("free-format MP3") << c + "sound_open/mp3_free_format_frames.mp3" << "mpegvideo" << -1;
        QTest::newRow("block align below a frame") << c + "sound_open/wav_block_align_below_frame.wav" << "waveaudio" << -1;
        QTest::newRow("NaN and loud float samples") << c + "sound_open/wav_float_loud_nan.wav" << "waveaudio" << -1;
        QTest::newRow("sysex flood") << c + "midi_render/sysex_flood.mid" << "sequencer" << tooBig;
        QTest::newRow("held chord on every key") << c + "midi_render/chord_flood_held.mid" << "sequencer" << -1;
        QTest::newRow("silence to the end") << c + "midi_render/silence_to_the_end.mid" << "sequencer" << -1;
        // 1.3 million running-status notes in 4 MB, more events than any sound needs.
        QByteArray notes = QByteArray::fromHex("00903C64");
        for (int i = 0; notes.size() < (4 << 20) - 64; ++i)
            notes += QByteArray::fromHex("01") + char(0x30 + i % 40) + char(i % 2 ? 0 : 0x50);
        notes += QByteArray::fromHex("00FF2F00");
        QByteArray smf = QByteArray::fromHex("4D546864000000060000000101E04D54726B");
        soundfix::putBE(smf, quint32(notes.size()), 4);
        QTest::newRow("4 MB of running-status notes") << file("notes.mid", smf + notes) << "sequencer" << tooBig;
    }

    void hostileFilesFailOrStayBounded()
    {
        QFETCH(QString, path);
        QFETCH(QString, type);
        QFETCH(int, result);
        QVERIFY(QFileInfo(path).isFile());
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(10);
        QElapsedTimer t;
        t.start();
        const int rc = sendMci(openCmd(path, type, "hostile"));
        const qint64 ms = t.elapsed();
        QVERIFY2(ms < 60'000, qPrintable(QString::number(ms))); // bounded work, not a fast one
        if (ms > 200) // a long open never holds the event loop
            QVERIFY2(ticks >= ms / 40, qPrintable(QStringLiteral("%1 ticks in %2 ms").arg(ticks).arg(ms)));
        if (result >= 0) {
            QCOMPARE(rc, result);
            QCOMPARE(mci::channelOf("hostile"), -1);
        } else {
            QCOMPARE(rc, 0);
            QVERIFY(mci::lengthMs("hostile") > 0 && mci::lengthMs("hostile") <= 300'000);
        }
    }

    // The checker reads running status across a meta event, and so does the
    // synth: the song is a tenth of a second long, and the note ends with it
    // and its release (a note left on would ring for three seconds more).
    void runningStatusAfterAMetaEventEndsTheNote()
    {
        QCOMPARE(sendMci(openCmd(QStringLiteral(S4_FUZZ_CORPUS "/midi_render/running_status_after_meta.mid"),
                                       "sequencer", "rs")),
                 0);
        QCOMPARE(mci::lengthMs("rs"), 100);
        resetEnergy();
        QCOMPARE(sendMci("play rs from 0 wait"), 0);
        const qint64 heard = framesToMs(g_frames[size_t(mci::channelOf("rs"))]);
        QVERIFY2(heard >= 100 && heard <= 2000, qPrintable(QString::number(heard)));
    }

    // Length and position come from the file's tempo map, to the
    // millisecond, however long the notes ring after the end.
    void midiLengthAndPositionComeFromTheTempoMap_data()
    {
        QTest::addColumn<QByteArray>("smf");
        QTest::addColumn<int>("lengthMs");
        const QByteArray head = QByteArray::fromHex("4D546864000000060001000201E0"); // format 1, two tracks, 480
        const auto track = [](const QByteArray &events) {
            QByteArray t("MTrk");
            soundfix::putBE(t, quint32(events.size()), 4);
            return t + events;
        };
        QTest::newRow("one note") << soundfix::midi({{0, 0.5, 64}}) << 500;
        // Half a second at 120 bpm, then 960 ticks at 240 bpm: another half.
        QTest::newRow("tempo change") << QByteArray::fromHex("4D546864000000060000000101E0")
                                             + track(QByteArray::fromHex("00FF510307A12000903C648360FF51030"
                                                                         "3D0908740803C0000FF2F00"))
                                      << 1000;
        // A tempo of 60 bpm in the first track paces the notes in the second,
        // which ends last.
        QTest::newRow("tempo in another track") << head + track(QByteArray::fromHex("00FF51030F424000FF2F00"))
                                                           + track(QByteArray::fromHex("00904064874080400000FF2F00"))
                                                << 2000;
        QTest::newRow("end of track after the last note")
            << head + track(QByteArray::fromHex("00FF2F00"))
                   + track(QByteArray::fromHex("00904064836040008F00FF2F00")) // 480 ticks, then 1920 more
            << 2500;
    }

    void midiLengthAndPositionComeFromTheTempoMap()
    {
        QFETCH(QByteArray, smf);
        QFETCH(int, lengthMs);
        QCOMPARE(sendMci(openCmd(file("tempo.mid", smf), "sequencer", "t")), 0);
        QCOMPARE(mci::lengthMs("t"), lengthMs);
        QCOMPARE(mci::positionMs("t"), 0);
        QElapsedTimer t;
        t.start();
        QCOMPARE(sendMci("play t from 0"), 0);
        QTRY_VERIFY(mci::positionMs("t") > 0);
        // Never ahead of the clock by more than the blocks the mixer takes early.
        const int midway = mci::positionMs("t");
        QVERIFY2(midway <= lengthMs && midway <= t.elapsed() + 100, qPrintable(QString::number(midway)));
        QCOMPARE(sendMci("play t from 0 wait"), 0);
        QCOMPARE(mci::positionMs("t"), lengthMs);
        QCOMPARE(mci::positionMs("nosuch"), -1);
    }

    // A note is heard when the song reaches it, not before: the events go
    // to the synthesiser at their own frames.
    void notesSoundAtTheirTimes_data()
    {
        QTest::addColumn<double>("start");
        QTest::newRow("at once") << 0.0;
        QTest::newRow("a third of a second in") << 0.33;
        QTest::newRow("a second in") << 1.0;
    }

    void notesSoundAtTheirTimes()
    {
        QFETCH(double, start);
        QCOMPARE(sendMci(openCmd(file("late.mid", soundfix::midi({{start, 0.3, 69}})), "sequencer", "late")), 0);
        const int ch = mci::channelOf("late");
        resetEnergy();
        QCOMPARE(sendMci("play late from 0 wait"), 0);
        QVERIFY(g_loudFrame[size_t(ch)] >= 0);
        const qint64 heard = framesToMs(g_loudFrame[size_t(ch)]);
        // The attack takes a moment.
        QVERIFY2(heard >= start * 1000 && heard <= start * 1000 + 100, qPrintable(QString::number(heard)));
    }

    // As many events as a file may hold over five minutes, on a machine kept
    // busy by two spinning threads: it opens and is heard at once, plays in
    // real time, starts again from the start, and stops at once when stopped
    // or closed.
    void aDenseFiveMinuteSongPlaysAtOnce()
    {
        std::vector<soundfix::Note> notes;
        for (int i = 0; i < 20 * 300 - 5; ++i)
            for (int k = 0; k < 8; ++k)
                notes.push_back({i * 0.05, 0.5, 40 + (i * 5 + k * 7) % 48});
        const QString dense = file("dense.mid", soundfix::midi(notes));
        std::atomic<bool> busy{true};
        const auto spin = [&] {
            while (busy.load(std::memory_order_relaxed)) {
            }
        };
        std::thread load1(spin), load2(spin);
        const auto unload = [&] {
            busy = false;
            for (std::thread *l : {&load1, &load2})
                if (l->joinable())
                    l->join();
        };
        const auto unloadOnFailure = qScopeGuard(unload);
        QElapsedTimer t;
        t.start();
        QCOMPARE(sendMci(openCmd(dense, "sequencer", "d")), 0);
        QCOMPARE(sendMci("play d from 0"), 0);
        const int ch = mci::channelOf("d");
        QTRY_VERIFY_WITH_TIMEOUT(g_energy[size_t(ch)] > 0, 10'000);
        // Rendered first, it took seconds on a quiet machine, or failed.
        QVERIFY2(t.elapsed() < 3000, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(mci::lengthMs("d"), 300'000);

        QTest::qWait(300);
        const int pos = mci::positionMs("d");
        QVERIFY2(pos > 0 && pos <= t.elapsed() + 100, qPrintable(QString::number(pos)));
        unload();
        QCOMPARE(sendMci("play d from 0"), 0);
        QVERIFY2(mci::positionMs("d") == 0, qPrintable(QString::number(mci::positionMs("d"))));
        QTest::qWait(200);
        QVERIFY(mci::positionMs("d") > 0);

        const auto silentAfter = [&](const char *command) {
            QCOMPARE(sendMci(command), 0);
            QTest::qWait(50); // a block mixed before may still be in flight
            resetEnergy();
            QTest::qWait(150);
            QCOMPARE(energyExcept(-1), 0);
        };
        silentAfter("stop d");
        QCOMPARE(sendMci("play d from 0"), 0);
        QTest::qWait(100);
        silentAfter("close d");
        QCOMPARE(mci::channelOf("d"), -1);
    }

    // Four songs at once, each on its own channel; closing one leaves the others.
    void fourSongsPlayAtOnce()
    {
        QStringList aliases;
        for (int i = 0; i < 4; ++i) {
            std::vector<soundfix::Note> notes;
            for (int n = 0; n < 20; ++n)
                notes.push_back({n * 0.2, 0.3, 48 + i * 7 + n % 5});
            aliases << QStringLiteral("m%1").arg(i);
            QCOMPARE(sendMci(openCmd(file(aliases.last() + ".mid", soundfix::midi(notes, i * 8)), "sequencer",
                                     aliases.last())),
                     0);
        }
        for (const QString &a : aliases)
            QCOMPARE(sendMci("play " + a + " from 0"), 0);
        for (const QString &a : aliases)
            QTRY_VERIFY2_WITH_TIMEOUT(g_energy[size_t(mci::channelOf(a))] > 0, qPrintable(a), 10'000);
        const int gone = mci::channelOf("m0");
        QCOMPARE(sendMci("close m0"), 0);
        QTest::qWait(50);
        resetEnergy();
        for (const QString &a : aliases.mid(1))
            QTRY_VERIFY2_WITH_TIMEOUT(g_energy[size_t(mci::channelOf(a))] > 0, qPrintable(a), 10'000);
        QCOMPARE(g_energy[size_t(gone)].load(), 0);
    }

    // A file is decoded once while it stays the same; a changed file, a
    // file on another device and a failed decode are each decoded once. A
    // MIDI file is never decoded: it is synthesised as it plays.
    void cacheDecodesEachFileOnce()
    {
        const QString wav = file("cached.wav", soundfix::wav(0.5));
        const QString mid = file("cached.mid", soundfix::midi({{0, 0.3, 62}}));
        const QString bad = file("cached bad.wav", "RIFF....WAVEnonsense");
        const auto opens = [&](const QString &path, const char *type) {
            const int before = mci::decodeCount();
            sendMci(openCmd(path, type, "c"));
            return mci::decodeCount() - before;
        };
        QCOMPARE(opens(wav, "waveaudio"), 1);
        QCOMPARE(opens(wav, "waveaudio"), 0);
        QCOMPARE(opens(wav, "mpegvideo"), 1);
        const qint64 held = mci::cacheBytes();
        QCOMPARE(opens(mid, "sequencer"), 0);
        QCOMPARE(mci::lengthMs("c"), 300);
        QCOMPARE(mci::cacheBytes(), held); // the cache holds samples only
        QCOMPARE(opens(bad, "waveaudio"), 1);
        QCOMPARE(opens(bad, "waveaudio"), 0);
        QVERIFY(sendMci(openCmd(bad, "waveaudio", "c")) != 0);

        // Touched: the same bytes under a new time are decoded afresh.
        QFile f(wav);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(QFileInfo(wav).lastModified().addSecs(10), QFileDevice::FileModificationTime));
        f.close();
        QCOMPARE(opens(wav, "waveaudio"), 1);
        // Rewritten with another length: decoded afresh and heard at its new length.
        QVERIFY(soundfix::writeFile(wav, soundfix::wav(1.0)));
        QCOMPARE(opens(wav, "waveaudio"), 1);
        QVERIFY(std::abs(mci::lengthMs("c") - 1000) <= 20);
    }

    void cacheLimitEvictsTheLeastRecentlyUsed()
    {
        sendMci("close all");
        const QString a = file("evict a.wav", soundfix::wav(2.0)), b = file("evict b.wav", soundfix::wav(2.0));
        const auto opens = [&](const QString &path) {
            const int before = mci::decodeCount();
            sendMci(openCmd(path, "waveaudio", "e"));
            return mci::decodeCount() - before;
        };
        const qint64 one = qint64(2.0 * mci::sampleRate()) * 4;
        const qint64 limit = one * 5 / 2; // room for two of these
        mci::setCacheLimit(0);             // empties it
        mci::setCacheLimit(limit);
        QCOMPARE(opens(a), 1);
        QCOMPARE(opens(b), 1);
        QCOMPARE(mci::cacheBytes(), 2 * one);
        QCOMPARE(opens(a), 0);
        QCOMPARE(opens(file("evict c.wav", soundfix::wav(2.0))), 1); // b goes, a was used last
        QCOMPARE(opens(a), 0);
        QCOMPARE(opens(b), 1);
        QVERIFY(mci::cacheBytes() <= limit);
        mci::setCacheLimit(qint64(64) << 20);
    }

    void commandGrammar_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("result");
        const QString wav = m_wav;
        QTest::newRow("empty") << "" << int(mci::ErrMissingCommandString);
        QTest::newRow("unknown verb") << "seek g to start" << int(mci::ErrUnrecognizedCommand);
        QTest::newRow("no closing quote") << "open \"" + wav + " type waveaudio alias g" << int(mci::ErrNoClosingQuote);
        QTest::newRow("unknown device") << openCmd(wav, "cdaudio", "g") << int(mci::ErrInvalidDeviceName);
        QTest::newRow("no alias") << "open \"" + wav + "\" type waveaudio wait" << int(mci::ErrMissingParameter);
        QTest::newRow("unknown flag") << openCmd(wav, "waveaudio", "g") + " loud" << int(mci::ErrUnrecognizedKeyword);
        QTest::newRow("play unknown") << "play nosuch from 0" << int(mci::ErrInvalidDeviceName);
        QTest::newRow("upper case") << "OPEN \"" + wav + "\" TYPE WAVEAUDIO ALIAS G WAIT" << 0;
        QTest::newRow("quote and tab in the name") << openCmd(file("say \"hi\"\tnow.wav", soundfix::wav(0.1)), "waveaudio", "g")
                                           << 0;
    }

    void commandGrammar()
    {
        QFETCH(QString, command);
        QFETCH(int, result);
        QCOMPARE(sendMci(command), result);
        if (result == 0) {
            QCOMPARE(sendMci("Play g From 0 Wait"), 0);
            QCOMPARE(sendMci("play g from 250"), int(mci::ErrUnsupportedFunction));
        }
    }
};

QTEST_MAIN(TestMciPlayer)
#include "test_mci_player.moc"
