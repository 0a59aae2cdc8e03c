// "自動送り" in the real windows: the console's route ridden by its
// timetable at ×60 and by a made-up drive's positions, each advance the
// console's own "データ送り"; hand stepping wins; without stops the mode
// says so and nothing moves; the choice kept in the user's own file.
#include "console/frmCtl.h"
#include "follow/Drive.h"
#include "follow/Nmea.h"
#include "forms/Values.h"
#include "forms/Windows.h"
#include "options/frmOption.h"
#include "sound/mdlM_Tape.h"
#include "tests/Fixture.h"
#include "tests/FixtureCore.h"
#include "windows/frmAutoStep.h"

#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QStandardPaths>
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

    // The demo route rides itself from its recorded drive: every stop in
    // order to the terminus, each announcement of the list once, in order.
    void theDemoRidesItselfFromItsDrive()
    {
        const QString demo = QStringLiteral(S4_DEMO_OUT);
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
        const QList<QByteArray> log = fixture::bytesOf(demo + QStringLiteral("/12.nmea")).split('\n');
        QVERIFY(log.size() > 1000);
        QList<int> rows{0};
        QList<int> tape{int(mdlM_Tape::GetTapePos())};
        for (const QByteArray &line : log) {
            if (const auto fix = nmea::parse(line)) {
                w.feedPosition(fix->lat, fix->lon);
                w.tick();
                if (console().ride().route().CurIndex != rows.last())
                    rows << console().ride().route().CurIndex;
                if (mdlM_Tape::GetTapePos() != tape.last())
                    tape << mdlM_Tape::GetTapePos();
            }
        }
        QList<int> every;
        for (int i = 0; i < 20; ++i)
            every << i;
        QCOMPARE(rows, every);
        if (console().TapeEnabled) // with a voice: each line once, in order
            for (int i = 1; i < tape.size(); ++i)
                QCOMPARE(tape[i], tape[i - 1] + 1);
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
};

QTEST_MAIN(TestAutoStep)
#include "test_autostep.moc"
