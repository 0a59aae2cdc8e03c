// The ride follower on made-up drives: every stop once and in order,
// whatever the receiver's noise, gaps and garbage; a bus that waits moves
// nothing; the timetable at its speed announces and steps at the right ride
// times; NMEA sentences are read as they are written, and a stream of them
// in any pieces, with endless lines and garbage refused in bounded memory.
#include "follow/Drive.h"
#include "follow/Nmea.h"
#include "follow/NmeaStream.h"
#include "follow/RideFollower.h"
#include "follow/StopsFile.h"

#include <QtTest>

#include <cmath>

using follow::Event;

namespace {

// Six stops along a road heading north-east, 250 to 450 m apart; stop 3 is
// set off the road by `offsetM` (the bus passes it at that distance).
QList<follow::Stop> route(double offsetM = 0)
{
    static const double gaps[] = {0, 400, 250, 450, 300, 400};
    QList<follow::Stop> stops;
    double along = 0;
    for (int i = 0; i < 6; ++i) {
        along += gaps[i];
        follow::Stop s;
        s.name = QStringLiteral("停留所%1").arg(i + 1);
        const double north = along * 0.8, east = along * 0.6;
        const double side = i == 3 ? offsetM : 0; // perpendicular to the road
        s.lat = 35.0 + (north - side * 0.6) / 111320.0;
        s.lon = 135.0 + (east + side * 0.8) / (111320.0 * std::cos(35.0 * M_PI / 180));
        s.hasPosition = true;
        stops << s;
    }
    return stops;
}

QList<Event> ride(follow::PositionFollower &f, const QList<nmea::Fix> &fixes)
{
    QList<Event> all;
    for (const nmea::Fix &x : fixes)
        all += f.onFix(x.lat, x.lon);
    return all;
}

QList<Event> wholeRide(int stops)
{
    QList<Event> e;
    for (int i = 1; i < stops; ++i)
        e << Event::Announce << Event::Step;
    return e;
}

} // namespace

class TestFollow : public QObject {
    Q_OBJECT

private slots:
    void drivesStepEveryStopOnceInOrder_data()
    {
        QTest::addColumn<double>("noise");
        QTest::addColumn<int>("dwell");
        QTest::addColumn<double>("offset");
        QTest::addColumn<QList<int>>("dropped"); // ranges of seconds: from, to, from, to...
        QTest::newRow("clean") << 3.0 << 15 << 0.0 << QList<int>{};
        QTest::newRow("jitter of 15 m, a minute at each stop") << 15.0 << 60 << 0.0 << QList<int>{};
        QTest::newRow("a stop passed 45 m off the road") << 5.0 << 15 << 45.0 << QList<int>{};
        QTest::newRow("no fix near stop 4") << 5.0 << 15 << 0.0 << QList<int>{165, 200};
        QTest::newRow("stop 3 lost in a long gap") << 5.0 << 0 << 0.0 << QList<int>{60, 120};
        QTest::newRow("the first fixes missing") << 5.0 << 15 << 0.0 << QList<int>{0, 12};
    }
    void drivesStepEveryStopOnceInOrder()
    {
        QFETCH(double, noise);
        QFETCH(int, dwell);
        QFETCH(double, offset);
        QFETCH(QList<int>, dropped);
        const auto stops = route(offset);
        follow::DriveSettings d;
        d.noiseM = noise;
        d.dwellSec = dwell;
        for (int i = 0; i + 1 < dropped.size(); i += 2)
            for (int t = dropped[i]; t <= dropped[i + 1]; ++t)
                d.dropped.insert(t);
        follow::PositionFollower f(route(offset), 0);
        QVERIFY(f.usable());
        // A straight road through a stop set off it: the drive goes by it.
        auto road = stops;
        road[3] = route()[3];
        QCOMPARE(ride(f, follow::driveFixes(road, d)), wholeRide(stops.size()));
        QCOMPARE(f.current(), stops.size() - 1);
    }

    // The same drive as a receiver sends it, garbage and bad checksums
    // among the sentences: read line by line, it rides the same.
    void aNoisyLogRidesTheSame()
    {
        const auto stops = route();
        const QByteArray log = follow::driveLog(stops, {});
        QVERIFY(log.contains("garbage"));
        follow::PositionFollower f(stops, 0);
        QList<Event> all;
        int refused = 0;
        for (const QByteArray &line : log.split('\n')) {
            nmea::Rejected why;
            if (const auto fix = nmea::parse(line, &why))
                all += f.onFix(fix->lat, fix->lon);
            else if (why == nmea::Rejected::BadChecksum || why == nmea::Rejected::Garbage)
                ++refused;
        }
        QVERIFY(refused >= 2);
        QCOMPARE(all, wholeRide(stops.size()));
    }

    // Waiting at a stop, and wandering about it inside the radius, moves
    // nothing; a hand step re-bases the ride and it follows on from there.
    void waitingMovesNothingAndHandSteppingWins()
    {
        const auto stops = route();
        follow::DriveSettings wait;
        wait.dwellSec = 600;
        wait.noiseM = 15;
        follow::PositionFollower f(stops, 0);
        QCOMPARE(ride(f, follow::driveFixes(stops.mid(0, 1), wait)), QList<Event>());
        QCOMPARE(f.current(), 0);
        f.rebase(2); // stepped twice by hand
        QCOMPARE(ride(f, follow::driveFixes(stops.mid(2), {})), wholeRide(stops.size() - 2));
        QCOMPARE(f.current(), stops.size() - 1);
        // At the terminus nothing more happens, and it never goes back.
        QCOMPARE(ride(f, follow::driveFixes(stops, {})), QList<Event>());
        QCOMPARE(f.current(), stops.size() - 1);
    }

    // Stepped ahead by hand (stop 2 to 4) with the bus between stops 2 and
    // 3: nothing moves until the bus reaches stop 4, then the ride goes on.
    void aHandStepAheadWaitsForTheBus()
    {
        const auto stops = route();
        const QList<nmea::Fix> drive = follow::driveFixes(stops, {});
        follow::PositionFollower f(stops, 0);
        int at = 0;
        for (; f.current() < 1 || follow::distanceM(drive[at].lat, drive[at].lon, stops[1].lat, stops[1].lon) < 100; ++at)
            f.onFix(drive[at].lat, drive[at].lon); // to stop 2, and 100 m on
        f.rebase(3);
        QVERIFY(f.waiting());
        for (; follow::distanceM(drive[at].lat, drive[at].lon, stops[3].lat, stops[3].lon) > 30; ++at)
            QCOMPARE(f.onFix(drive[at].lat, drive[at].lon), QList<Event>());
        QCOMPARE(ride(f, drive.mid(at)), wholeRide(stops.size() - 3));
        QVERIFY(!f.waiting());
    }

    // The stops file of an older import (one trip) and of a newer one (the
    // day's trips after it): the same stops, and each trip's times.
    void stopsFileWithTheDaysTrips()
    {
        const QByteArray old = "seq,stop_id,name,lat,lon,arrival,departure\r\n1,A,駅前,35.0,135.0,,08:00:00\r\n2,B,終点,35.01,135.0,08:05:00,\r\n";
        QList<follow::Trip> trips;
        QCOMPARE(follow::readStopsFile(old, &trips).size(), 2);
        QCOMPARE(trips.size(), 0);
        const QByteArray day = "seq,stop_id,name,lat,lon,arrival,departure,arrival:T1,departure:T1,\"arrival:便,2\",\"departure:便,2\"\r\n"
                               "1,A,駅前,35.0,135.0,,08:00:00,,08:00:00,,09:30:00\r\n2,B,終点,35.01,135.0,08:05:00,,08:05:00,,09:36:00,\r\n";
        const QList<follow::Stop> stops = follow::readStopsFile(day, &trips);
        QCOMPARE(stops.size(), 2);
        QCOMPARE(stops[1].arrivalSec, 8 * 3600 + 300);
        QCOMPARE(trips.size(), 2);
        QCOMPARE(trips[1].id, QStringLiteral("便,2"));
        QCOMPARE(trips[1].firstDepartureSec(), 9 * 3600 + 1800);
        const QList<follow::Stop> second = follow::withTrip(stops, trips[1]);
        QCOMPARE(second[1].arrivalSec, 9 * 3600 + 36 * 60);
        QVERIFY(follow::TimetableFollower(second, 0).usable());
    }

    void withoutCoordinatesItStaysOff()
    {
        auto stops = route();
        stops[2].hasPosition = false;
        follow::PositionFollower f(stops, 0);
        QVERIFY(!f.usable());
        QCOMPARE(ride(f, follow::driveFixes(route(), {})), QList<Event>());
        QCOMPARE(f.onFix(qQNaN(), 135.0), QList<Event>());
    }

    // The timetable at ×60 on a controllable clock: leaving each stop at its
    // departure announces, reaching the next at its arrival steps.
    void theTimetableAdvancesAtItsTimes()
    {
        auto stops = route();
        const int times[6][2] = {{-1, 28800}, {28920, 28950}, {29040, 29040}, {29220, 29250}, {29400, -1}, {29520, 29520}};
        for (int i = 0; i < 6; ++i) {
            stops[i].arrivalSec = times[i][0];
            stops[i].departureSec = times[i][1];
        }
        follow::TimetableFollower f(stops, 0);
        QVERIFY(f.usable());
        follow::RideClock clock;
        clock.start(f.startSec(0), 0, 60);
        QList<QPair<int, Event>> seen; // ride second, event
        for (qint64 ms = 0; ms <= 15000; ms += 100) {
            const double t = clock.at(ms);
            for (Event e : f.onTime(t))
                seen.append({int(std::floor(t)), e});
        }
        const QList<QPair<int, Event>> expected = {
            {28800, Event::Announce}, {28920, Event::Step}, {28950, Event::Announce}, {29040, Event::Step},
            {29040, Event::Announce}, {29220, Event::Step}, {29250, Event::Announce}, {29400, Event::Step},
            {29400, Event::Announce}, {29520, Event::Step},
        };
        QCOMPARE(seen, expected);
        QCOMPARE(f.nextEventSec(), -1);

        // Paused at stop 2 and stepped back by hand: re-based there.
        f.rebase(2);
        clock.start(f.startSec(2), 20000, 30);
        QCOMPARE(f.onTime(clock.at(20000)), QList<Event>({Event::Announce})); // 29040 is its departure
        QCOMPARE(f.nextEventSec(), 29220);

        // Looked at late (a clock that stood, a box that held the ride): each
        // announcement found after the stop it names is due is skipped, and
        // the board is at the clock's stop after every look.
        follow::TimetableFollower late(stops, 0);
        QList<Event> lateSeen;
        for (int t : {28800, 28930, 29300, 29600}) {
            lateSeen += late.onTime(t);
            QCOMPARE(late.current(), late.stopAt(t));
        }
        // 29300 finds stops 3 and 4 due (their announcements skipped) and the
        // bus just away from 4 (5 announced in time).
        QCOMPARE(lateSeen, QList<Event>({Event::Announce, Event::Step, Event::Skipped, Event::Step, Event::Skipped, Event::Step,
                                         Event::Announce, Event::Step, Event::Skipped, Event::Step}));
        QCOMPARE(late.skipped(), 3);

        // Times that run backwards are no timetable.
        stops[3].arrivalSec = 28000;
        QVERIFY(!follow::TimetableFollower(stops, 0).usable());
    }

    void nmeaSentences_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("why"); // nmea::Rejected
        QTest::addColumn<double>("lat");
        QTest::newRow("RMC") << QByteArray("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n")
                             << int(nmea::Rejected::None) << 48.1173;
        QTest::newRow("GGA") << QByteArray("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47")
                             << int(nmea::Rejected::None) << 48.1173;
        QTest::newRow("wrong checksum")
            << QByteArray("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*48")
            << int(nmea::Rejected::BadChecksum) << 0.0;
        QTest::newRow("no checksum") << QByteArray("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,")
                                     << int(nmea::Rejected::BadChecksum) << 0.0;
        QTest::newRow("no fix yet") << QByteArray("$GPRMC,123519,V,,,,,,,230394,,*33") << int(nmea::Rejected::NoFix) << 0.0;
        QTest::newRow("satellites") << QByteArray("$GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00*74")
                                    << int(nmea::Rejected::NotPosition) << 0.0;
        QTest::newRow("garbage") << QByteArray("\x01\x02garbage") << int(nmea::Rejected::Garbage) << 0.0;
        QTest::newRow("endless line") << "$GPRMC," + QByteArray(5000, '9') << int(nmea::Rejected::Garbage) << 0.0;
    }
    void nmeaSentences()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, why);
        QFETCH(double, lat);
        nmea::Rejected r;
        const auto fix = nmea::parse(line, &r);
        QCOMPARE(int(r), why);
        QCOMPARE(fix.has_value(), why == int(nmea::Rejected::None));
        if (fix) {
            QVERIFY(std::abs(fix->lat - lat) < 1e-4);
            QCOMPARE(fix->secondsOfDay, 12 * 3600 + 35 * 60 + 19);
        }
    }

    void writtenSentencesReadBack()
    {
        for (const auto &[lat, lon] : {std::pair{35.681236, 139.767125}, std::pair{-33.8688, 151.2093}, std::pair{0.0, -0.5}}) {
            nmea::Fix f;
            f.lat = lat;
            f.lon = lon;
            f.speedMps = 8;
            f.secondsOfDay = 3600;
            const QList<QByteArray> lines = nmea::sentences(f).split('\n');
            for (int i = 0; i < 2; ++i) {
                const auto back = nmea::parse(lines[i]);
                QVERIFY2(back, lines[i].constData());
                QVERIFY(std::abs(back->lat - lat) < 1e-6 && std::abs(back->lon - lon) < 1e-6);
                QCOMPARE(back->secondsOfDay, 3600);
            }
        }
    }

    // Whatever the pieces a file or a socket hands over, the same fixes; a
    // line that never ends, or garbage, is refused after the bound and never
    // held whole; gpsd's own reports and sentences without a fix are heard.
    void aStreamInAnyPieces_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("fixes");
        QTest::addColumn<bool>("usable");
        const QByteArray drive = follow::driveLog(route(), {});
        int driveFixes = 0;
        for (const QByteArray &line : drive.split('\n'))
            driveFixes += nmea::parse(line).has_value();
        const QByteArray rmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A";
        const QByteArray gsv = "$GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00*74\r\n";
        QTest::newRow("a noisy drive") << drive << driveFixes << true;
        QTest::newRow("the last line without its end") << rmc + "\r\n" + rmc << 2 << true;
        QTest::newRow("gpsd's reports, then sentences")
            << "{\"class\":\"VERSION\",\"release\":\"3.22\"}\n{\"class\":\"DEVICES\",\"devices\":[" + QByteArray(3000, ' ')
                   + "]}\n" + rmc + "\r\n"
            << 1 << true;
        QTest::newRow("no fix yet, for long") << gsv.repeated(2000) + rmc << 1 << true;
        QTest::newRow("one endless line") << rmc + "\r\n" + QByteArray(100000, '9') + "\n" + rmc << 1 << false;
        QTest::newRow("garbage lines") << QByteArray("garbage \x01\x02\r\n").repeated(8000) + rmc << 0 << false;
        QTest::newRow("a sentence in a line too long") << QByteArray(200, ' ') + rmc + "\r\n" << 0 << true;
    }
    void aStreamInAnyPieces()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, fixes);
        QFETCH(bool, usable);
        for (qsizetype piece : {qsizetype(1), qsizetype(7), qsizetype(4096), bytes.size()}) {
            nmea::LineStream s;
            QList<nmea::Fix> out;
            bool ok = true;
            for (qsizetype at = 0; ok && at < bytes.size(); at += piece) {
                ok = s.push(QByteArrayView(bytes).sliced(at, std::min(piece, bytes.size() - at)), out);
                QVERIFY(s.buffered() <= 128);
            }
            ok = ok && s.finish(out);
            QCOMPARE(ok, usable);
            QCOMPARE(out.size(), fixes);
        }
    }

    void aLogPlaysByItsOwnTimes_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("at");
        QTest::addColumn<double>("speed");
        QTest::addColumn<int>("waitMs");
        QTest::newRow("the next second") << 28800 << 28801 << 1.0 << 1000;
        QTest::newRow("the same second") << 28800 << 28800 << 1.0 << 0;
        QTest::newRow("a gap of ten minutes") << 28800 << 29400 << 1.0 << 600000;
        QTest::newRow("across midnight") << 86399 << 1 << 1.0 << 2000;
        QTest::newRow("a step back") << 28800 << 28799 << 1.0 << 1000;
        QTest::newRow("a gap of hours") << 28800 << 40000 << 1.0 << 1000;
        QTest::newRow("no time") << -1 << 28800 << 1.0 << 1000;
        QTest::newRow("×60: the next second") << 28800 << 28801 << 60.0 << 16;
        QTest::newRow("×60: ten minutes") << 28800 << 29400 << 60.0 << 10000;
        QTest::newRow("×10: a new part") << 28800 << 28799 << 10.0 << 100;
        QTest::newRow("past ×60") << 28800 << 29400 << 1000.0 << 10000;
        QTest::newRow("no speed") << 28800 << 28801 << qQNaN() << 1000;
    }
    void aLogPlaysByItsOwnTimes()
    {
        QFETCH(int, before);
        QFETCH(int, at);
        QFETCH(double, speed);
        QFETCH(int, waitMs);
        QCOMPARE(nmea::playbackDelayMs(before, at, speed), waitMs);
    }
};

QTEST_APPLESS_MAIN(TestFollow)
#include "test_follow.moc"
