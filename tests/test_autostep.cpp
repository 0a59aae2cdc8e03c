// "自動送り" in the real windows: the console's route ridden by its
// timetable at ×60 and by a made-up drive's positions, each advance the
// console's own "データ送り"; hand stepping wins; without stops the mode
// says so and nothing moves; the choice kept in the user's own file; a
// huge log freezes nothing, and a source that cannot be used (an endless
// line, garbage, a log too large) is said so.
#include "console/frmCtl.h"
#include "follow/Drive.h"
#include "core/FileIo.h"
#include "core/InputHold.h"
#include "follow/Nmea.h"
#include "follow/NmeaSource.h"
#include "follow/StopsFile.h"
#include "forms/Values.h"
#include "forms/Windows.h"
#include "options/frmOption.h"
#include "sound/mdlM_Tape.h"
#include "sound/mdlSndAPI.h"
#include "tests/Fixture.h"
#include "tests/FixtureCore.h"
#include "windows/frmAutoStep.h"

#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <cmath>

namespace {

// Four stops 300 m apart heading north, two minutes apart from 08:00.
QByteArray stopsFile(bool withTimes = true, bool withPositions = true)
{
    QByteArray b = "seq,stop_id,name,lat,lon,arrival,departure\n";
    for (int i = 0; i < 4; ++i) {
        const int t = 8 * 3600 + i * 120;
        const QString time = QStringLiteral("%1:%2:00").arg(t / 3600, 2, 10, QChar(u'0')).arg(t / 60 % 60, 2, 10, QChar(u'0'));
        b += QStringLiteral("%1,S%1,停留所%1,%2,%3,%4,%4\n")
                 .arg(i + 1)
                 .arg(withPositions ? QString::number(35.0 + i * 300 / 111320.0, 'f', 7) : QString())
                 .arg(withPositions ? QStringLiteral("135.0") : QString())
                 .arg(withTimes ? time : QString())
                 .toUtf8();
    }
    return b;
}

QList<follow::Stop> stops()
{
    QList<follow::Stop> s;
    for (int i = 0; i < 4; ++i) {
        follow::Stop x;
        x.lat = 35.0 + i * 300 / 111320.0;
        x.lon = 135.0;
        x.hasPosition = true;
        s << x;
    }
    return s;
}

// Sentences at the first stop, their times running backwards, the position
// a little different from one to the next.
QByteArray backwardsLog(int seconds)
{
    QByteArray b;
    for (int i = 0; i < seconds; ++i) {
        nmea::Fix f;
        f.lat = 35.0 + (i % 2) * 0.00001;
        f.lon = 135.0;
        f.secondsOfDay = 80000 - i;
        b += nmea::sentences(f);
    }
    return b;
}

// The choices as a rider leaves them: by position, from this log or port.
void keepChoice(const QString &source, const QString &path)
{
    QDir().mkpath(QFileInfo(frmAutoStep::settingsFile()).absolutePath());
    QCOMPARE(fileio::writeWhole(frmAutoStep::settingsFile(),
                                QStringLiteral("mode=position\nsource=%1\npath=%2\n").arg(source, path).toUtf8()),
             0);
}

} // namespace

class TestAutoStep : public QObject {
    Q_OBJECT
    fixture::Windows m_w;

    frmCtl &console() { return windows::frmCtl(); }
    void load(const QByteArray &stops)
    {
        m_w.file(QStringLiteral("34.hy3"), fixture::route(4));
        QFile::remove(m_w.path(QStringLiteral("34.stops.csv")));
        if (!stops.isEmpty())
            m_w.file(QStringLiteral("34.stops.csv"), stops);
        forms::setText(*windows::frmOption().Text2(0), m_w.dir());
        console().CommandButton1_Click(10);
        for (int d : {3, 4})
            console().CommandButton1_Click(d);
        console().Command1_Click(1);
        QCOMPARE(console().ride().route().DataCount, int16_t(4));
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init()
    {
        m_w.begin();
        QFile::remove(frmAutoStep::settingsFile());
    }
    void cleanup() { m_w.end(); }

    void theTimetableRidesTheRoute()
    {
        load(stopsFile());
        frmAutoStep w;
        w.spnSpeed->setValue(60);
        w.setMode(frmAutoStep::Mode::Timetable);
        QVERIFY(w.running());
        // Two minutes a stop at ×60: the terminus in about six seconds.
        QTRY_COMPARE_WITH_TIMEOUT(int(console().ride().route().CurIndex), 3, 20000);
        QVERIFY2(w.lblStatus->text().contains(QStringLiteral("終点")), qPrintable(w.lblStatus->text()));

        // The choice is kept, and a new window takes it up again.
        frmAutoStep again;
        QCOMPARE(again.mode(), frmAutoStep::Mode::Timetable);
        QCOMPARE(again.spnSpeed->value(), 60);
        w.setMode(frmAutoStep::Mode::Off);
        QVERIFY(!w.running());
    }

    void positionsRideTheRouteAndTheHandWins()
    {
        load(stopsFile());
        frmAutoStep w;
        w.setMode(frmAutoStep::Mode::Position);
        QVERIFY(w.running());
        const QList<nmea::Fix> drive = follow::driveFixes(stops(), {});
        int fed = 0;
        // Up to the second stop.
        for (; fed < drive.size() && console().ride().route().CurIndex < 1; ++fed) {
            w.feedPosition(drive[fed].lat, drive[fed].lon);
            w.tick();
        }
        QCOMPARE(int(console().ride().route().CurIndex), 1);
        // Stepped back by hand there: the ride goes on from the hand's stop.
        console().Command2_Click(0);
        QCOMPARE(int(console().ride().route().CurIndex), 0);
        w.tick();
        for (; fed < drive.size(); ++fed) {
            w.feedPosition(drive[fed].lat, drive[fed].lon);
            w.tick();
        }
        // From stop 1 the bus was already away: each stop after it once.
        QCOMPARE(int(console().ride().route().CurIndex), 3);
        QVERIFY(w.lblStatus->text().contains(QStringLiteral("位置")));
        QCOMPARE(m_w.boxes, QStringList());
    }

    // The demo route rides itself from its recorded drive played fast, each
    // chime held until cut (the drive's fixes coming in meanwhile): every
    // stop in order to the terminus, each announcement of the list once, in
    // order, each cut as the bus reaches the stop it names.
    void theDemoRidesItselfFromItsDrive()
    {
        const QString demo = QStringLiteral(S4_DEMO_OUT);
        QVERIFY(QFile::copy(demo + QStringLiteral("/demo.in4"), m_w.settingsPath())); // its chimes
        forms::setText(*windows::frmOption().Text2(0), demo);
        forms::setText(*windows::frmOption().Text2(1), demo);
        console().CommandButton1_Click(10);
        for (int d : {1, 2})
            console().CommandButton1_Click(d);
        console().Command1_Click(1);
        QCOMPARE(console().ride().route().DataCount, int16_t(20));
        frmAutoStep w;
        w.setMode(frmAutoStep::Mode::Position);
        QVERIFY(w.running());
        QList<nmea::Fix> log;
        for (const QByteArray &line : fixture::bytesOf(demo + QStringLiteral("/12.nmea")).split('\n'))
            if (const auto fix = nmea::parse(line))
                log << *fix;
        QVERIFY(log.size() > 1000);
        int fed = 0, chimes = 0, cut = 0;
        bool stopped = false;
        mdlSndAPI::setMciSender([&](const QString &c) {
            m_w.mci << c;
            if (c.endsWith(QStringLiteral("S3 from 0 wait"))) {
                ++chimes;
                stopped = false;
                const inputhold::Hold hold; // five minutes of the drive at most
                for (int i = 0; i < 300 && !stopped && fed < log.size(); ++i, ++fed)
                    w.feedPosition(log[fed].lat, log[fed].lon);
            } else if (c.startsWith(QStringLiteral("stop ")) && c.endsWith(QStringLiteral("S3"))) {
                stopped = true;
                ++cut;
            }
            return 0;
        });
        QList<int> rows{0};
        QList<int> tape{int(mdlM_Tape::GetTapePos())};
        while (fed < log.size()) {
            w.feedPosition(log[fed].lat, log[fed].lon);
            ++fed;
            w.tick();
            if (console().ride().route().CurIndex != rows.last())
                rows << console().ride().route().CurIndex;
            if (mdlM_Tape::GetTapePos() != tape.last())
                tape << mdlM_Tape::GetTapePos();
        }
        QCOMPARE(cut, chimes);
        if (console().TapeEnabled)
            QCOMPARE(chimes, 19);
        QList<int> every;
        for (int i = 0; i < 20; ++i)
            every << i;
        QCOMPARE(rows, every);
        if (console().TapeEnabled) // with a voice: each line once, in order
            for (int i = 1; i < tape.size(); ++i)
                QCOMPARE(tape[i], tape[i - 1] + 1);
    }

    // The demo by its timetable at ×60 on a clock the test drives, each
    // chime held to its end as a real one is (the window's turns running
    // inside it, the clock going on), and one stall of five seconds: at
    // every look, four a real second for two minutes, the board is at the
    // clock's stop, and the announcement list stays with the stops.
    void theTimetableKeepsToItsClockAtSixtyTimes()
    {
        const QString demo = QStringLiteral(S4_DEMO_OUT);
        QVERIFY(QFile::copy(demo + QStringLiteral("/demo.in4"), m_w.settingsPath()));
        forms::setText(*windows::frmOption().Text2(0), demo);
        forms::setText(*windows::frmOption().Text2(1), demo);
        console().CommandButton1_Click(10);
        for (int d : {1, 2})
            console().CommandButton1_Click(d);
        console().Command1_Click(1);
        QCOMPARE(console().ride().route().DataCount, int16_t(20));
        const follow::TimetableFollower timetable(follow::readStopsFile(fixture::bytesOf(demo + QStringLiteral("/12.stops.csv"))), 0);
        QVERIFY(timetable.usable());

        qint64 ms = 0;
        bool stopped = false;
        int chimes = 0, cut = 0;
        frmAutoStep w;
        // A chime played to its end lasts three seconds, unless stopped.
        mdlSndAPI::setMciSender([&](const QString &c) {
            m_w.mci << c;
            if (c.endsWith(QStringLiteral("S3 from 0 wait"))) {
                if (++chimes == 5)
                    ms += 5000; // the machine stalled: stops 6 to 9 come due at once
                stopped = false;
                const inputhold::Hold hold;
                for (int i = 0; i < 30 && !stopped; ++i) {
                    ms += 100;
                    w.tick();
                }
            } else if (c.startsWith(QStringLiteral("stop ")) && c.endsWith(QStringLiteral("S3"))) {
                stopped = true;
                ++cut;
            }
            return 0;
        });
        w.spnSpeed->setValue(60);
        w.setClock([&] { return ms; });
        w.setMode(frmAutoStep::Mode::Timetable);
        QVERIFY(w.running());
        for (; ms <= 120000; ms += 250) {
            w.tick();
            const double t = timetable.startSec(0) + ms * 60 / 1000.0;
            QCOMPARE(int(console().ride().route().CurIndex), timetable.stopAt(t));
        }
        QCOMPARE(int(console().ride().route().CurIndex), 19);
        // With a voice, each stop's chime was cut by the stop after it (a
        // hop takes 1.5 s at ×60), and those the stall made late skipped.
        if (console().TapeEnabled) {
            QVERIFY2(chimes >= 14 && chimes <= 17, qPrintable(QString::number(chimes)));
            QCOMPARE(mdlM_Tape::GetTapePos(), 19);
        }
        QCOMPARE(cut, chimes);
        QCOMPARE(w.cuts(), chimes);
        QVERIFY(w.lblPacing->text().contains(QStringLiteral("打ち切り")));
    }

    // A stops file with the day's trips: the window offers them, the ride
    // keeps to the one picked, and the pick is kept for the route.
    void aTripOfTheDayIsPicked()
    {
        QByteArray day = stopsFile();
        QList<QByteArray> lines = day.split('\n');
        lines[0] += ",arrival:朝,departure:朝,arrival:昼,departure:昼";
        for (int i = 1; i <= 4; ++i) {
            const QByteArray at = QByteArray::number(10 + i / 2) + (i % 2 ? ":30:00" : ":00:00"); // 10:30, 11:00...
            const QByteArray own = lines[i].split(',')[5];
            lines[i] += "," + own + "," + own + "," + at + "," + at;
        }
        load(lines.join('\n'));
        qint64 ms = 0;
        frmAutoStep w;
        w.spnSpeed->setValue(60);
        w.setClock([&] { return ms; });
        w.setMode(frmAutoStep::Mode::Timetable);
        QCOMPARE(w.cboTrip->count(), 2);
        QCOMPARE(w.cboTrip->currentText(), QStringLiteral("08:00発（朝）")); // the route's own times
        QCOMPARE(w.cboTrip->itemText(1), QStringLiteral("10:30発（昼）"));
        w.cboTrip->setCurrentIndex(1);
        emit w.cboTrip->activated(1);
        QCOMPARE(w.lblClock->text(), QStringLiteral("10:30:00"));
        ms = 30 * 1000; // half an hour at ×60
        w.tick();
        QCOMPARE(int(console().ride().route().CurIndex), 1);

        frmAutoStep again;
        QCOMPARE(again.cboTrip->currentText(), QStringLiteral("10:30発（昼）"));
    }

    void withoutWhatItNeedsItSaysSoAndStaysOff_data()
    {
        QTest::addColumn<QByteArray>("stops");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("says");
        QTest::newRow("no stops file") << QByteArray() << int(frmAutoStep::Mode::Timetable) << "34.stops.csv";
        QTest::newRow("no times") << stopsFile(false) << int(frmAutoStep::Mode::Timetable) << "時刻";
        QTest::newRow("no positions") << stopsFile(true, false) << int(frmAutoStep::Mode::Position) << "位置がない";
        QTest::newRow("garbage") << QByteArray("\"open quote\n\x01\x02") << int(frmAutoStep::Mode::Position) << "読み込めません";
    }
    void withoutWhatItNeedsItSaysSoAndStaysOff()
    {
        QFETCH(QByteArray, stops);
        QFETCH(int, mode);
        QFETCH(QString, says);
        load(stops);
        frmAutoStep w;
        w.setMode(frmAutoStep::Mode(mode));
        QVERIFY(!w.running());
        QVERIFY2(w.lblStatus->text().contains(says), qPrintable(w.lblStatus->text()));
        w.feedPosition(35.0, 135.0);
        w.tick();
        QCOMPARE(int(console().ride().route().CurIndex), 0);
        console().Command2_Click(1); // the hand always works
        QCOMPARE(int(console().ride().route().CurIndex), 1);
    }

    // The log kept in the choices is 100 MB whose times run backwards: the
    // window opens at once, the windows go on answering, and it plays.
    void aHugeLogFreezesNothing()
    {
        load(stopsFile());
        QTemporaryDir dir;
        QFile log(dir.filePath(QStringLiteral("big.nmea")));
        QVERIFY(log.open(QIODevice::WriteOnly));
        const QByteArray part = backwardsLog(7000);
        while (log.size() < 100 << 20)
            QVERIFY(log.write(part) == part.size());
        log.close();
        keepChoice(QStringLiteral("log"), log.fileName());

        QElapsedTimer turn; // the longest wait for a turn of the event loop
        qint64 longest = 0;
        QTimer beat;
        connect(&beat, &QTimer::timeout, this, [&] {
            longest = std::max(longest, turn.restart());
        });
        turn.start();
        beat.start(20);
        frmAutoStep w;
        QVERIFY(w.running());
        QTRY_VERIFY_WITH_TIMEOUT(w.lblStatus->text().contains(QStringLiteral("測位")), 20000);
        const QString first = w.lblStatus->text();
        QTRY_VERIFY_WITH_TIMEOUT(w.lblStatus->text() != first, 20000); // the next one, a second later
        QVERIFY2(longest < 1000, qPrintable(QString::number(longest)));
        QCOMPARE(int(console().ride().route().CurIndex), 0); // waiting at the first stop
    }

    // What cannot be used is said in the window, and reading it stops: a
    // fake gpsd on a real socket (sending its bytes over and over), or a log.
    void anUnusableSourceIsSaidSo_data()
    {
        QTest::addColumn<bool>("gpsd");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("says");
        nmea::Fix stop1;
        stop1.lat = 35.0;
        stop1.lon = 135.0;
        const QByteArray rmc = nmea::sentences(stop1);
        QTest::newRow("gpsd: one endless line") << true << QByteArray(64 * 1024, '9') << "gpsd からの入力は使えません";
        QTest::newRow("gpsd: garbage") << true << QByteArray("garbage\r\n").repeated(8000) << "使えません";
        QTest::newRow("gpsd: its reports and a fix")
            << true << "{\"class\":\"VERSION\",\"release\":\"3.22\"}\n" + rmc << "測位 35.000000, 135.000000";
        QTest::newRow("log: one endless line") << false << QByteArray(100000, '9') << "NMEAログは使えません";
        QTest::newRow("log: too large") << false << QByteArray("sparse") << "大きすぎるため使えません";
        QTest::newRow("log: nothing but satellites")
            << false << QByteArray("$GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00*74\r\n")
            << "位置の記録がありません";
        QTest::newRow("log: played to its end") << false << rmc << "位置の入力が終わりました";
    }
    void anUnusableSourceIsSaidSo()
    {
        QFETCH(bool, gpsd);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, says);
        load(stopsFile());
        QTcpServer server;
        QPointer<QTcpSocket> peer;
        const bool endless = !bytes.contains('{');
        if (gpsd) {
            QVERIFY(server.listen(QHostAddress::LocalHost));
            connect(&server, &QTcpServer::newConnection, this, [&] {
                peer = server.nextPendingConnection();
                peer->write(bytes);
                if (endless) // as much as the reader takes, until it hangs up
                    connect(peer, &QTcpSocket::bytesWritten, peer, [&] {
                        if (peer->bytesToWrite() < bytes.size())
                            peer->write(bytes);
                    });
            });
            keepChoice(QStringLiteral("gpsd"), QString::number(server.serverPort()));
        } else {
            QFile log(m_w.path(QStringLiteral("drive.nmea")));
            QVERIFY(log.open(QIODevice::WriteOnly));
            if (bytes == "sparse") // a real file of that size, on no disk space
                QVERIFY(log.resize(follow::NmeaSource::kMaxLogBytes + 1));
            else
                log.write(bytes);
            log.close();
            keepChoice(QStringLiteral("log"), log.fileName());
        }
        frmAutoStep w;
        QTRY_VERIFY2_WITH_TIMEOUT(w.lblStatus->text().contains(says), qPrintable(w.lblStatus->text()), 20000);
        if (gpsd && endless) // the reader hung up
            QTRY_VERIFY_WITH_TIMEOUT(!peer || peer->state() == QAbstractSocket::UnconnectedState, 20000);
        QVERIFY(w.running()); // the hand and the window still work
        QCOMPARE(m_w.boxes, QStringList());
    }
};

QTEST_MAIN(TestAutoStep)
#include "test_autostep.moc"
