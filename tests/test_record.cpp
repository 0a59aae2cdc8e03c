// The ride recorder: a short script ride of the demo recorded twice, its
// frames against the live panel's own grab in the same state and scroll,
// its sound against the steps, and the two files decoded alike.
#include "console/frmCtl.h"
#include "panel/Form1.h"
#include "forms/Windows.h"
#include "tests/Fixture.h"
#include "tools/Snapshot.h"
#include "tools/record/Frame.h"
#include "tools/record/Script.h"
#include "windows/frmRecord.h"

#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QtTest>
#include <cmath>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace {

constexpr int kFps = 30;
// Route 12 from its first stop: three stops on, then eight more quickly to
// a name long enough to scroll.
const QList<qint64> kSteps = {3500, 4000, 4500, 5000, 5500, 6000, 6500, 7000, 7500, 8000, 8500};
constexpr qint64 kEndMs = 8500 + 3000;

qint64 frameOf(qint64 ms) { return (ms * kFps + 999) / 1000; } // the first frame at or after ms
qint64 msOf(qint64 frame) { return frame * 1000 / kFps; }

struct Decoded {
    QString error;
    QList<QByteArray> frames; // each picture's planes as decoded
    std::vector<float> left;  // the sound's first channel
    QByteArray audioHash;
    int sampleRate = 0;
};

// Every picture and sample of an MP4, through the same libraries a player uses.
Decoded decode(const QString &path)
{
    Decoded d;
    AVFormatContext *fmt = nullptr;
    if (avformat_open_input(&fmt, QFile::encodeName(path).constData(), nullptr, nullptr) < 0) {
        d.error = QStringLiteral("cannot open");
        return d;
    }
    avformat_find_stream_info(fmt, nullptr);
    AVCodecContext *ctx[2] = {nullptr, nullptr};
    int index[2] = {-1, -1};
    for (int k = 0; k < 2; ++k) {
        const AVMediaType type = k == 0 ? AVMEDIA_TYPE_VIDEO : AVMEDIA_TYPE_AUDIO;
        const AVCodec *codec = nullptr;
        index[k] = av_find_best_stream(fmt, type, -1, -1, &codec, 0);
        if (index[k] < 0)
            continue;
        ctx[k] = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(ctx[k], fmt->streams[index[k]]->codecpar);
        ctx[k]->thread_count = 1;
        avcodec_open2(ctx[k], codec, nullptr);
    }
    QCryptographicHash audio(QCryptographicHash::Sha1);
    AVPacket *pkt = av_packet_alloc();
    AVFrame *f = av_frame_alloc();
    const auto take = [&](int k) {
        while (avcodec_receive_frame(ctx[k], f) == 0) {
            if (k == 0) {
                QByteArray pic;
                for (int p = 0; p < 3; ++p) {
                    const int h = p == 0 ? f->height : (f->height + 1) / 2, w = p == 0 ? f->width : (f->width + 1) / 2;
                    for (int y = 0; y < h; ++y)
                        pic.append(reinterpret_cast<const char *>(f->data[p] + y * f->linesize[p]), w);
                }
                d.frames.append(pic);
            } else {
                d.sampleRate = f->sample_rate;
                const auto *l = reinterpret_cast<const float *>(f->data[0]);
                d.left.insert(d.left.end(), l, l + f->nb_samples);
                for (int c = 0; c < f->ch_layout.nb_channels; ++c)
                    audio.addData(QByteArrayView(reinterpret_cast<const char *>(f->data[c]), f->nb_samples * 4));
            }
        }
    };
    while (av_read_frame(fmt, pkt) >= 0) {
        for (int k = 0; k < 2; ++k)
            if (ctx[k] && pkt->stream_index == index[k]) {
                avcodec_send_packet(ctx[k], pkt);
                take(k);
            }
        av_packet_unref(pkt);
    }
    for (int k = 0; k < 2; ++k)
        if (ctx[k]) {
            avcodec_send_packet(ctx[k], nullptr);
            take(k);
        }
    if (!ctx[0] || !ctx[1])
        d.error = QStringLiteral("a stream is missing");
    d.audioHash = audio.result();
    av_frame_free(&f);
    av_packet_free(&pkt);
    for (auto &c : ctx)
        avcodec_free_context(&c);
    avformat_close_input(&fmt);
    return d;
}

double rms(const std::vector<float> &s, qint64 from, qint64 to)
{
    double sum = 0;
    from = std::max<qint64>(from, 0);
    to = std::min<qint64>(to, qint64(s.size()));
    for (qint64 i = from; i < to; ++i)
        sum += double(s[size_t(i)]) * s[size_t(i)];
    return to > from ? std::sqrt(sum / double(to - from)) : 0;
}

} // namespace

class TestRecord : public QObject {
    Q_OBJECT
    fixture::Windows m_w;
    QTemporaryDir m_out;
    const QString m_settings = QStringLiteral(S4_DEMO_OUT "/demo.in4");

    int record(const QStringList &extra, QString *said = nullptr)
    {
        QProcess run;
        QStringList args = {QStringLiteral("--route"), QStringLiteral("12"), QStringLiteral("--section"),
                            QStringLiteral("1"), QStringLiteral("--settings"), m_settings, QStringLiteral("--quiet")};
        run.start(QStringLiteral(S4_BIN "/soratobi4-record"), args + extra);
        if (!run.waitForFinished(120000))
            return -1;
        if (said)
            *said = QString::fromLocal8Bit(run.readAllStandardError());
        return run.exitStatus() == QProcess::NormalExit ? run.exitCode() : -1;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_out.isValid());
        QFile script(m_out.filePath(QStringLiteral("ride.txt")));
        QVERIFY(script.open(QIODevice::WriteOnly));
        for (qint64 ms : kSteps)
            script.write(QByteArray::number(double(ms) / 1000) + ",step\n");
    }
    void cleanup() { m_w.end(); }

    // Recorded twice: the frames are the live panel's, the chimes start with
    // the steps, and the second file decodes to the same pictures and sound.
    void aScriptRide()
    {
        const QString script = m_out.filePath(QStringLiteral("ride.txt"));
        const QString a = m_out.filePath(QStringLiteral("a.mp4")), b = m_out.filePath(QStringLiteral("b.mp4"));
        const QString png = m_out.filePath(QStringLiteral("png"));
        QString said;
        QCOMPARE(record({QStringLiteral("--script"), script, QStringLiteral("--out"), a, QStringLiteral("--png-dir"), png}, &said), 0);
        QCOMPARE(record({QStringLiteral("--script"), script, QStringLiteral("--out"), b}), 0);
        QCOMPARE(QDir(m_out.path()).entryList(QDir::Hidden | QDir::Files).filter(QStringLiteral(".part")), QStringList());

        // The live board, stepped at the same moments of the same clock.
        m_w.begin();
        QVERIFY(QFile::copy(m_settings, m_w.settingsPath()));
        Form1 &panel = windows::Form1();
        panel.show();
        qint64 now = 0;
        panel.ChimeiCtl()->setClock([&now] { return int64_t(now); });
        frmCtl &console = windows::frmCtl();
        frmCtl::lampTestMs = 0;
        for (int key : {10, 1, 2, 11, 1})
            console.CommandButton1_Click(key);
        now = msOf(frameOf(3000));
        console.Command1_Click(1);
        QList<qint64> checks; // frames to compare: each stop shown, and the last name on its way
        for (int i = 0; i < 4; ++i)
            checks.append(frameOf(i == 0 ? 3000 : kSteps[i - 1]) + 5);
        checks.append(frameOf(kSteps.last()) + 45);
        checks.append(frameOf(kSteps.last()) + 80);
        qsizetype step = 0;
        for (qint64 n : checks) {
            while (step < kSteps.size() && frameOf(kSteps[step]) <= n) {
                now = msOf(frameOf(kSteps[step++]));
                console.Command2_Click(1);
            }
            now = msOf(n);
            panel.ChimeiCtl()->advanceScroll();
            const QImage live = record::compose(snapshot::shot(panel), {});
            const QImage recorded(QDir(png).filePath(QStringLiteral("frame-%1.png").arg(n, 6, 10, QLatin1Char('0'))));
            QVERIFY2(!recorded.isNull(), qPrintable(QStringLiteral("frame %1").arg(n)));
            QVERIFY2(recorded.convertToFormat(QImage::Format_RGB32) == live, qPrintable(QStringLiteral("frame %1").arg(n)));
        }
        QVERIFY(panel.ChimeiCtl()->isScrolling()); // the last checks caught a name under way

        const Decoded da = decode(a), db = decode(b);
        QVERIFY2(da.error.isEmpty(), qPrintable(da.error));
        QCOMPARE(da.frames.size(), qsizetype(kEndMs * kFps / 1000));
        QCOMPARE(da.frames, db.frames);
        QCOMPARE(da.audioHash, db.audioHash);
        // Each step's chime: the frame it starts in (±1) is far louder than
        // the frames just before it.
        QVERIFY(da.sampleRate > 0);
        const qint64 perFrame = da.sampleRate / kFps;
        for (qint64 ms : kSteps) {
            const qint64 at = frameOf(ms) * perFrame;
            const double before = rms(da.left, at - 3 * perFrame, at - perFrame);
            const double onset = rms(da.left, at - perFrame, at + 2 * perFrame);
            QVERIFY2(onset > 0.02 && onset > 3 * before,
                     qPrintable(QStringLiteral("step at %1 ms: %2 after %3").arg(ms).arg(onset).arg(before)));
        }
    }

    // By the timetable at x60: each stop is shown, once and in order, between
    // leaving the stop before it and reaching it (the announcement may step
    // the board as it leaves), never a stop too far.
    void aTimetableRide()
    {
        const QString out = m_out.filePath(QStringLiteral("t.mp4")), list = m_out.filePath(QStringLiteral("t.txt"));
        QCOMPARE(record({QStringLiteral("--timetable"), QStringLiteral("--speed"), QStringLiteral("60"),
                         QStringLiteral("--out"), out, QStringLiteral("--chapters"), list}),
                 0);
        QFile stopsFile(QStringLiteral(S4_DEMO_OUT "/12.stops.csv")), shown(list);
        QVERIFY(stopsFile.open(QIODevice::ReadOnly) && shown.open(QIODevice::ReadOnly));
        const QList<QByteArray> stops = stopsFile.readAll().trimmed().split('\n').mid(1);
        const QList<QByteArray> lines = shown.readAll().trimmed().split('\n');
        QCOMPARE(lines.size(), stops.size());
        const auto sec = [](const QByteArray &hms) { return QTime::fromString(QString::fromLatin1(hms), QStringLiteral("HH:mm:ss")).msecsSinceStartOfDay(); };
        const int start = sec(stops[0].split(',')[5]);
        const auto videoMs = [&](int rideMs) { return msOf(frameOf(3000 + (rideMs - start) / 60)); };
        for (qsizetype r = 1; r < stops.size(); ++r) {
            const QList<QByteArray> f = lines[r].split('\t'), before = stops[r - 1].split(','), stop = stops[r].split(',');
            QCOMPARE(f.value(1).toInt(), int(r + 1));
            QCOMPARE(f.value(2), stop[2]);
            const int at = QTime::fromString(QString::fromLatin1(f[0]), QStringLiteral("H:mm:ss.zzz")).msecsSinceStartOfDay();
            QVERIFY2(at >= videoMs(sec(before[6])) && at <= videoMs(sec(stop[5])) + 1000 / kFps,
                     qPrintable(QStringLiteral("%1 at %2 ms").arg(QString::fromUtf8(stop[2])).arg(at)));
        }
    }

    // Script lines: what each reads as, in time order, and the first line
    // that cannot be read named with its number (then no action at all).
    void scriptLines_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("read"); // "ms kind value; ..." or "error: ..."
        QTest::newRow("each action") << QByteArray("1,step\n2,back\n3,say\n4,clear on\n5,clear off\n6,night on\n7,backlight 2\n")
                                     << QStringLiteral("1000 0 0;2000 1 0;3000 2 0;4000 3 1;5000 3 0;6000 4 1;7000 5 2");
        QTest::newRow("spaces, case, comments, CRLF, the load written out")
            << QByteArray("# a ride\r\n0,load\r\n\r\n 3.5 , STEP \r\n2.25,Night  OFF\r\n")
            << QStringLiteral("2250 4 0;3500 0 0");
        QTest::newRow("same time keeps its order") << QByteArray("5,step\n5,back\n1,say\n")
                                                  << QStringLiteral("1000 2 0;5000 0 0;5000 1 0");
        QTest::newRow("no comma") << QByteArray("1,step\n2 step\n") << QStringLiteral("error: line 2");
        QTest::newRow("negative time") << QByteArray("-1,step\n") << QStringLiteral("error: line 1");
        QTest::newRow("not a number") << QByteArray("nan,step\n") << QStringLiteral("error: line 1");
        QTest::newRow("past a day") << QByteArray("90000,step\n") << QStringLiteral("error: line 1");
        QTest::newRow("backlight out of range") << QByteArray("1,backlight 3\n") << QStringLiteral("error: line 1");
        QTest::newRow("on or off only") << QByteArray("1,night yes\n") << QStringLiteral("error: line 1");
        QTest::newRow("a load later") << QByteArray("4,load\n") << QStringLiteral("error: line 1");
        QTest::newRow("an argument too many") << QByteArray("1,step 2\n") << QStringLiteral("error: line 1");
    }
    void scriptLines()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, read);
        const record::Script s = record::parseScript(text);
        QStringList got;
        for (const record::Action &a : s.actions)
            got << QStringLiteral("%1 %2 %3").arg(a.ms).arg(int(a.kind)).arg(a.value);
        if (read.startsWith(u"error: ")) {
            QVERIFY2(s.error.startsWith(read.mid(7) + u':'), qPrintable(s.error));
            QVERIFY(s.actions.isEmpty());
        } else {
            QVERIFY2(s.error.isEmpty(), qPrintable(s.error));
            QCOMPARE(got.join(u';'), read);
        }
    }

    // What cannot be recorded says so, exits non-zero and leaves no file.
    // The console's window runs the command: a recording to its end, then
    // one stopped at once, which leaves no file at all.
    void theWindowRecordsAndCancels()
    {
        m_w.begin();
        QVERIFY(QFile::copy(m_settings, m_w.settingsPath()));
        frmRecord w;
        w.txtRoute->setText(QStringLiteral("12"));
        w.cboDrive->setCurrentIndex(2);
        w.txtDriveFile->setText(m_out.filePath(QStringLiteral("ride.txt")));
        w.cboSize->setCurrentIndex(0);
        QSignalSpy done(&w, &frmRecord::finished);
        const QString whole = m_out.filePath(QStringLiteral("window.mp4")), stopped = m_out.filePath(QStringLiteral("stopped.mp4"));
        w.txtOut->setText(whole);
        QVERIFY(w.start());
        QVERIFY(done.wait(120000));
        QCOMPARE(done.takeFirst().value(0).toBool(), true);
        QVERIFY2(QFileInfo(whole).size() > 0, qPrintable(w.lblStatus->text()));
        QCOMPARE(w.barProgress->value(), 100);

        w.txtOut->setText(stopped);
        QVERIFY(w.start());
        w.cancel();
        QVERIFY(done.wait(120000));
        QCOMPARE(done.takeFirst().value(0).toBool(), false);
        QVERIFY(!QFile::exists(stopped));
        QCOMPARE(QDir(m_out.path()).entryList(QDir::Hidden | QDir::Files).filter(QStringLiteral(".part")), QStringList());
        QCOMPARE(recordargs::progressOf(QStringLiteral("  12.5 / 90.0 s  (13%)")), 13);
    }

    void refusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        const QString script = m_out.filePath(QStringLiteral("ride.txt"));
        const QString out = m_out.filePath(QStringLiteral("no.mp4"));
        QTest::newRow("no route") << QStringList{QStringLiteral("--route"), QStringLiteral("99"), QStringLiteral("--script"), script, QStringLiteral("--out"), out}
                                  << QStringLiteral("指定した系統のデータがありません");
        QTest::newRow("no folder") << QStringList{QStringLiteral("--script"), script, QStringLiteral("--out"), m_out.filePath(QStringLiteral("none/x.mp4"))}
                                   << QStringLiteral("保存先のフォルダがありません");
        QTest::newRow("bad scale") << QStringList{QStringLiteral("--script"), script, QStringLiteral("--scale"), QStringLiteral("5"), QStringLiteral("--out"), out}
                                   << QStringLiteral("--scale");
        QFile bad(m_out.filePath(QStringLiteral("bad.txt")));
        if (bad.open(QIODevice::WriteOnly))
            bad.write("1,step\n2,fly\n");
        bad.close();
        QTest::newRow("bad script") << QStringList{QStringLiteral("--script"), bad.fileName(), QStringLiteral("--out"), out}
                                    << QStringLiteral("line 2");
    }
    void refusals()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        QString said;
        QCOMPARE(record(args, &said), 1 + int(message == u"--scale"));
        QVERIFY2(said.contains(message), qPrintable(said));
        QVERIFY(!QFile::exists(m_out.filePath(QStringLiteral("no.mp4"))));
    }
};

QTEST_MAIN(TestRecord)
#include "test_record.moc"
