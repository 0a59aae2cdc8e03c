// GTFS / GTFS-JP feeds written by hand, as operators publish them, through
// the import: fares by zone and by area, ticket numbers shared past 60
// boarding stops, the readings in both layouts, names the strip cannot hold,
// broken feeds with the place of their fault, and an archive built with
// libzip. The written route is read back by the program's own reader and
// ridden through the console.
#include "console/frmCtl.h"
#include "core/Cp932.h"
#include "forms/Values.h"
#include "forms/Windows.h"
#include "opendata/Csv.h"
#include "opendata/FeedPath.h"
#include "opendata/Gtfs.h"
#include "options/frmOption.h"
#include "panel/Form1.h"
#include "platform/MsgBox.h"
#include "platform/speech/Reading.h"
#include "ride/FareData.h"
#include "settings/mdlIniIo.h"
#include "sound/TapeList.h"
#include "sound/mdlSndAPI.h"
#include "windows/GtfsImport.h"

#include <QHeaderView>
#include <QProcess>
#include <QTemporaryDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTreeWidget>
#include <QtTest>

#include <zip.h>

namespace {

using Files = QMap<QString, QByteArray>;

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

opendata::Feed folder(const Files &files)
{
    return opendata::Feed::fromFolder(files.keys(), [files](const QString &n) { return std::optional<QByteArray>(files.value(n)); });
}

// A line of n stops "停留所1".."停留所n" in zones Z1..Zn, route R1 with two
// trips outward (direction 0) and one back (1), route R2 with one trip.
Files line(int n, const std::function<QString(int)> &zone = {})
{
    QByteArray stops = "stop_id,stop_name,stop_lat,stop_lon,zone_id\n";
    QByteArray times = "trip_id,arrival_time,departure_time,stop_id,stop_sequence\n";
    for (int i = 1; i <= n; ++i)
        stops += QStringLiteral("S%1,停留所%1,35.%2,139.5,%3\n").arg(i).arg(i, 3, 10, QChar(u'0')).arg(zone ? zone(i) : QStringLiteral("Z%1").arg(i)).toUtf8();
    for (const char *trip : {"T1", "T2"})
        for (int i = 1; i <= n; ++i)
            times += QStringLiteral("%1,%2:%3:00,%2:%3:00,S%4,%4\n").arg(QLatin1String(trip)).arg(trip[1] == '1' ? 8 : 9, 2, 10, QChar(u'0')).arg(i % 60, 2, 10, QChar(u'0')).arg(i).toUtf8();
    for (int i = n; i >= 1; --i)
        times += QStringLiteral("T3,,,S%1,%2\n").arg(i).arg(n - i + 1).toUtf8();
    times += "T4,,,S1,1\nT4,,,S2,2\n";
    return {
        {QStringLiteral("agency.txt"), "agency_id,agency_name\nA,バス\n"},
        {QStringLiteral("stops.txt"), stops},
        {QStringLiteral("routes.txt"), "route_id,agency_id,route_short_name,route_long_name,route_type,jp_parent_route_id\n"
                                       "R1,A,11,駅前線,3,P1\nR2,A,12,,3,\n"},
        {QStringLiteral("trips.txt"), "route_id,service_id,trip_id,trip_headsign,direction_id\n"
                                      "R1,W,T1,終点,0\nR1,W,T2,終点,0\nR1,W,T3,起点,1\nR2,W,T4,,0\n"},
        {QStringLiteral("stop_times.txt"), times},
    };
}

Files with(Files f, const QString &name, const QByteArray &bytes)
{
    f.insert(name, bytes);
    return f;
}

QList<int> faresOf(const fare::FareRecord &r, qsizetype count)
{
    QList<int> v;
    for (int c = 1; c <= count; ++c)
        v << r.fare(c);
    return v;
}

const QByteArray kZoneFares = "fare_id,price,currency_type,payment_method,transfers\nF180,180,JPY,0,0\nF250,250.00,JPY,0,0\n"
                              "F300,300,JPY,0,0\nF100,100,JPY,0,0\n";

QByteArray zipped(const Files &files, const std::function<void(zip_t *, zip_int64_t)> &each = {})
{
    QTemporaryDir dir;
    const QByteArray path = dir.filePath(QStringLiteral("feed.zip")).toLocal8Bit();
    int err = 0;
    zip_t *z = zip_open(path.constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    QList<QByteArray> keep = files.values(); // libzip reads them at zip_close
    int k = 0;
    for (auto it = files.cbegin(); it != files.cend(); ++it, ++k) {
        zip_source_t *s = zip_source_buffer(z, keep[k].constData(), zip_uint64_t(keep[k].size()), 0);
        const zip_int64_t i = zip_file_add(z, it.key().toUtf8().constData(), s, ZIP_FL_ENC_UTF_8);
        if (each)
            each(z, i);
    }
    if (zip_close(z) != 0)
        return {};
    QFile f(QString::fromLocal8Bit(path));
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

// As a GTFS-JP operator publishes: a byte order mark, CRLF, the older
// translations layout.
Files published(Files f)
{
    f.insert(QStringLiteral("translations.txt"), "trans_id,lang,translation\n停留所1,ja,停留所1\n停留所1,ja-Hrkt,きてん\n"
                                                  "停留所2,ja-Hrkt,なかほど\n停留所3,ja-Hrkt,しゅうてん\n");
    f.insert(QStringLiteral("agency_jp.txt"), "agency_id,agency_official_name\nA,\"株式会社\"\"バス\"\"\"\n");
    f.insert(QStringLiteral("office_jp.txt"), "office_id,office_name\n");
    for (auto it = f.begin(); it != f.end(); ++it)
        it.value() = "\xEF\xBB\xBF" + it.value().replace("\n", "\r\n");
    return f;
}

} // namespace

class TestOpenData : public QObject {
    Q_OBJECT

private slots:
    // The reader under the feeds: places of fields and bounds.
    void csv_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("fields"); // records joined by '|', fields by '/', with their lines
        QTest::newRow("lf") << QByteArray("a,b\nc,d\n") << "1:a/b|2:c/d";
        QTest::newRow("crlf bom") << QByteArray("\xEF\xBB\xBF" "a,b\r\nc,d\r\n") << "1:a/b|2:c/d";
        QTest::newRow("quoted comma quote newline") << QByteArray("\"x,y\",\"say \"\"hi\"\"\"\n\"two\nlines\",z\nq,r") << "1:x,y/say \"hi\"|3:two\nlines/z|4:q/r";
        QTest::newRow("blank lines skipped, lines still counted") << QByteArray("a\n\n\r\nb\n") << "1:a|4:b";
    }
    void csv()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, fields);
        // Fed whole and byte by byte: the result may not depend on the chunks.
        for (qsizetype chunk : {bytes.size(), qsizetype(1)}) {
            QStringList got;
            opendata::CsvReader r(QStringLiteral("t.txt"), [&](const opendata::CsvRecord &rec) {
                QStringList f;
                for (QByteArrayView v : rec.fields)
                    f << QString::fromUtf8(v);
                got << QStringLiteral("%1:%2").arg(rec.line).arg(f.join(u'/'));
            });
            for (qsizetype i = 0; i < bytes.size(); i += chunk)
                r.feed(QByteArrayView(bytes).sliced(i, std::min(chunk, bytes.size() - i)));
            r.finish();
            QCOMPARE(got.join(u'|'), fields);
        }
    }
    void csvBounds()
    {
        // A field past its bound stops the read at its line; an open quote at the end.
        opendata::CsvLimits small;
        small.maxFieldBytes = 100;
        try {
            opendata::readCsv(QStringLiteral("big.txt"), QByteArray("a\nb\n") + QByteArray(1000, 'x'), [](const auto &) {}, small);
            QFAIL("a field past the bound was read");
        } catch (const opendata::FeedError &e) {
            QCOMPARE(e.line, 3);
            QCOMPARE(e.number(), 7);
        }
        try {
            opendata::readCsv(QStringLiteral("q.txt"), "a,\"open\n", [](const auto &) {});
            QFAIL("an open quote was read");
        } catch (const opendata::FeedError &e) {
            QCOMPARE(e.number(), 62);
        }
    }

    void listing()
    {
        const opendata::Listing l = opendata::listPatterns(folder(line(4)));
        QCOMPARE(l.patterns.size(), 3);
        const opendata::PatternInfo &out = l.patterns[0];
        QCOMPARE(out.routeId, QStringLiteral("R1"));
        QCOMPARE(out.routeName, QStringLiteral("11 駅前線"));
        QCOMPARE(out.parentRouteId, QStringLiteral("P1"));
        QCOMPARE(out.trips, 2);
        QCOMPARE(out.stops, 4);
        QCOMPARE(out.headsign, QStringLiteral("終点"));
        QCOMPARE(out.firstTripId, QStringLiteral("T1")); // leaves at 8, T2 at 9
        QCOMPARE(l.patterns[1].directionId, QStringLiteral("1"));
        QCOMPARE(l.patterns[1].firstStop, QStringLiteral("停留所4"));
        QCOMPARE(l.patterns[2].headsign, QStringLiteral("停留所2")); // no headsign: the last stop
    }

    // Column c of stop i is the fare from where ticket c was issued.
    void fares_data()
    {
        QTest::addColumn<Files>("feed");
        QTest::addColumn<QList<QList<int>>>("columns"); // stops 1..3, columns 1..ticket
        QTest::addColumn<int>("undefined");
        QTest::addColumn<QString>("source");
        const Files base = with(line(3), QStringLiteral("fare_attributes.txt"), kZoneFares);
        QTest::newRow("zones, every route") << with(base, QStringLiteral("fare_rules.txt"),
                                                    "fare_id,origin_id,destination_id\nF180,Z1,Z2\nF250,Z1,Z3\nF180,Z2,Z3\n")
                                            << QList<QList<int>>{{0}, {180, 0}, {250, 180, 0}} << 0 << "fare_attributes";
        QTest::newRow("route_id narrows and wins") << with(base, QStringLiteral("fare_rules.txt"),
                                                           "fare_id,route_id,origin_id,destination_id\nF180,,Z1,Z2\nF250,,Z1,Z3\n"
                                                           "F300,R1,Z1,Z3\nF100,R2,Z1,Z2\nF100,R2,Z2,Z3\n")
                                                   << QList<QList<int>>{{0}, {180, 0}, {300, 0, 0}} << 1 << "fare_attributes";
        QTest::newRow("contains_id: the zones passed, all of them") << with(base, QStringLiteral("fare_rules.txt"),
                                                                           "fare_id,contains_id\nF300,Z1\nF300,Z2\nF300,Z3\nF180,Z1\nF180,Z2\n"
                                                                           "F250,Z2\nF250,Z3\nF100,Z1\nF100,Z3\n")
                                                                    << QList<QList<int>>{{0}, {180, 0}, {300, 250, 0}} << 0 << "fare_attributes";
        QTest::newRow("no fares at all") << line(3) << QList<QList<int>>{{0}, {0, 0}, {0, 0, 0}} << 3 << "none";
        // As a real shuttle feed has it: a typo in the header leaves the fares blank, the route imports.
        QTest::newRow("fare_rules header unusable")
            << with(with(line(3), QStringLiteral("fare_attributes.txt"), kZoneFares), QStringLiteral("fare_rules.txt"),
                    "fare_rules,route_id\t,origin_id,destination_id\nF180,R1,Z1,Z2\n")
            << QList<QList<int>>{{0}, {0, 0}, {0, 0, 0}} << 3 << "none";
        Files v2 = line(3);
        v2.insert(QStringLiteral("stop_areas.txt"), "area_id,stop_id\nA1,S1\nA2,S2\nA2,S3\n");
        v2.insert(QStringLiteral("fare_products.txt"), "fare_product_id,fare_product_name,rider_category_id,amount,currency\n"
                                                       "P1,子供,child,100,JPY\nP1,大人,,200,JPY\nP2,大人,,300,JPY\n");
        v2.insert(QStringLiteral("fare_leg_rules.txt"), "leg_group_id,network_id,from_area_id,to_area_id,fare_product_id\n"
                                                        "L,,A1,A2,P2\nL,,A2,A2,P1\nL,N9,A1,A1,P1\n");
        QTest::newRow("fares v2, area to area") << v2 << QList<QList<int>>{{0}, {300, 200}, {300, 200}} << 0 << "fare_products";
    }
    void fares()
    {
        QFETCH(Files, feed);
        QFETCH(QList<QList<int>>, columns);
        QFETCH(int, undefined);
        QFETCH(QString, source);
        const opendata::Import im = opendata::importPattern(folder(feed), {QStringLiteral("R1"), QStringLiteral("0"), {}, 0});
        // Through the program's own reader, as the console loads it.
        const fare::FareFile file = fare::readFareFile(fare::writeFareFile(im.records));
        QCOMPARE(file.DataCount, 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(file.records[i].SeiriNo, std::min(i + 1, 2));
            QCOMPARE(faresOf(file.records[i], columns[i].size()), columns[i]);
            QCOMPARE(file.records[i].fare(columns[i].size() + 1), 0);
        }
        QCOMPARE(im.faresUndefined, undefined);
        QVERIFY2(im.fareSource.contains(source), qPrintable(im.fareSource));
    }

    // More boarding stops than cells: stops with the same fares onward
    // share a number; a pattern that still needs more is refused.
    void tickets_data()
    {
        QTest::addColumn<int>("stopsPerZone");
        QTest::addColumn<int>("tickets"); // 0: refused
        QTest::newRow("75 stops in zones of two") << 2 << 60; // 74 boarding stops: 14 pairs share
        QTest::newRow("75 stops of a zone each") << 1 << 0;
    }
    void tickets()
    {
        QFETCH(int, stopsPerZone);
        QFETCH(int, tickets);
        const int n = 75;
        const auto zone = [&](int i) { return QStringLiteral("Z%1").arg((i - 1) / stopsPerZone); };
        QByteArray rules = "fare_id,origin_id,destination_id\n", attrs = "fare_id,price\n";
        const int zones = (n - 1) / stopsPerZone + 1;
        for (int d = 0; d < zones; ++d)
            attrs += QStringLiteral("D%1,%2\n").arg(d).arg(100 + 10 * d).toUtf8();
        for (int a = 0; a < zones; ++a)
            for (int b = a; b < zones; ++b)
                rules += QStringLiteral("D%1,Z%2,Z%3\n").arg(b - a).arg(a).arg(b).toUtf8();
        Files f = line(n, zone);
        f.insert(QStringLiteral("fare_attributes.txt"), attrs);
        f.insert(QStringLiteral("fare_rules.txt"), rules);
        if (!tickets) {
            try {
                opendata::importPattern(folder(f), {QStringLiteral("R1"), QStringLiteral("0"), {}, 0});
                QFAIL("a pattern of 74 ticket numbers was taken");
            } catch (const vb::Error &e) {
                QCOMPARE(e.number(), 6);
                QVERIFY2(e.description().contains(QStringLiteral("74 ticket numbers")) && e.description().contains(QStringLiteral("60")),
                         qPrintable(e.description()));
            }
            return;
        }
        const opendata::Import im = opendata::importPattern(folder(f), {QStringLiteral("R1"), QStringLiteral("0"), {}, 0});
        QCOMPARE(im.ticketCount, tickets);
        QCOMPARE(im.records.size(), n);
        QCOMPARE(im.records[0].SeiriNo, 1);
        QCOMPARE(im.records[1].SeiriNo, 1); // same zone, same fares onward
        QCOMPARE(im.records[2].SeiriNo, 2);
        QCOMPARE(im.records[n - 1].SeiriNo, 60);
        // At the terminus: ticket 1 from zone 0 to zone 37, ticket 60 from zone 36.
        QCOMPARE(im.records[n - 1].fare(1), 470);
        QCOMPARE(im.records[n - 1].fare(60), 110);
        // Inside a shared number: the fare from its first stop.
        QCOMPARE(im.records[1].fare(1), 100);
        QCOMPARE(im.faresUndefined, 0);
    }

    // Both layouts of translations.txt; a platform without a name speaks
    // as its station.
    void readings_data()
    {
        QTest::addColumn<QByteArray>("translations");
        QTest::newRow("GTFS-JP trans_id") << QByteArray("trans_id,lang,translation\n停留所2,ja-Hrkt,なかほど\n駅前,ja-Hrkt,えきまえ\n駅前,en,Ekimae\n");
        QTest::newRow("table_name, record_id") << QByteArray("table_name,field_name,language,translation,record_id,record_sub_id,field_value\n"
                                                             "stops,stop_name,ja-Hrkt,なかほど,S2,,\nstops,stop_name,ja-Hrkt,えきまえ,ST,,\nstops,stop_name,en,Ekimae,ST,,\n");
        QTest::newRow("table_name, field_value") << QByteArray("table_name,field_name,language,translation,record_id,record_sub_id,field_value\n"
                                                               "stops,stop_name,JA-HRKT,なかほど,,,停留所2\nstops,stop_name,ja-Hrkt,えきまえ,,,駅前\n");
    }
    void readings()
    {
        QFETCH(QByteArray, translations);
        Files f = line(3);
        f[QStringLiteral("stops.txt")] += "ST,駅前,35.0,139.0,,1\n";
        f[QStringLiteral("stops.txt")].replace("S3,停留所3", "S3,");
        f[QStringLiteral("stops.txt")].replace("stop_id,stop_name,stop_lat,stop_lon,zone_id\n", "stop_id,stop_name,stop_lat,stop_lon,zone_id,location_type,parent_station\n");
        f[QStringLiteral("stops.txt")].replace("Z3\n", "Z3,0,ST\n");
        f.insert(QStringLiteral("translations.txt"), translations);
        const opendata::Import im = opendata::importPattern(folder(f), {QStringLiteral("R1"), QStringLiteral("0"), {}, 0});
        QCOMPARE(im.records[2].StopName, QStringLiteral("駅前"));
        QCOMPARE(im.readingCount, 2);
        QCOMPARE(cp932::decode(im.readings), QStringLiteral("停留所2,なかほど\r\n駅前,えきまえ\r\n"));
        const QList<tape::TapeLine> tape = tape::readTapeList(im.tape);
        QCOMPARE(tape.size(), 4);
        QCOMPARE(tape[0].TapeText, QStringLiteral("ご乗車ありがとうございます。このバスは、終点行きです。"));
        QCOMPARE(tape[0].StepFlag, 0);
        QCOMPARE(tape[1].TapeText, QStringLiteral("次は、停留所2です。"));
        QCOMPARE(tape[1].StepFlag, 1);
        QCOMPARE(tape[2].TapeText, QStringLiteral("次は、終点、駅前です。"));
        QCOMPARE(tape[2].StepFlag, 1);
        QCOMPARE(tape[3].StepFlag, 0);
        // The reading step says the feed's reading for the listed name.
        speech::setUserReadings(speech::readUserReadings(im.readings));
        QCOMPARE(speech::reading(tape[2].TapeText), speech::reading(QStringLiteral("次は、終点、")) + QStringLiteral("エキマエ") +
                                                         speech::reading(QStringLiteral("です。")));
        speech::setUserReadings({});
    }

    void names()
    {
        Files f = line(3);
        const QString longName = QStringLiteral("市立総合医療センター北口バスターミナル前三番のりば");
        f[QStringLiteral("stops.txt")].replace("停留所2", longName.toUtf8());
        f[QStringLiteral("stops.txt")].replace("停留所3", "\xF0\xA0\xAE\xB7野家前"); // U+20BB7: not in code page 932
        const opendata::Import im = opendata::importPattern(folder(f), {QStringLiteral("R1"), QStringLiteral("0"), {}, 0});
        QCOMPARE(cp932::encode(im.records[1].StopName).size(), 40);
        QVERIFY(longName.startsWith(im.records[1].StopName));
        QCOMPARE(im.records[2].StopName, QStringLiteral("〓野家前"));
        QCOMPARE(im.warnings.size(), 2);
        QVERIFY(im.warnings[0].contains(QStringLiteral("cut")));
        QVERIFY(im.warnings[1].contains(QStringLiteral("〓")));
        // The announcement says the whole name; the stops file keeps it as published.
        QVERIFY(cp932::decode(im.tape).contains(longName));
        QVERIFY(QString::fromUtf8(im.stops).contains(QStringLiteral("2,S2,%1,35.0020000,139.5000000,08:02:00,08:02:00").arg(longName)));
    }

    // A broken feed stops with its file, line and column; a file the import
    // does not need never stops it.
    void errors_data()
    {
        QTest::addColumn<Files>("feed");
        QTest::addColumn<QString>("where");
        QTest::addColumn<int>("number");
        const Files base = with(with(line(3), QStringLiteral("fare_attributes.txt"), kZoneFares), QStringLiteral("fare_rules.txt"),
                                "fare_id,origin_id,destination_id\nF180,Z1,Z2\n");
        Files f = base;
        f.remove(QStringLiteral("stops.txt"));
        QTest::newRow("no stops.txt") << f << "stops.txt: the feed has no such file" << 53;
        QTest::newRow("no stop_sequence") << with(base, QStringLiteral("stop_times.txt"), "trip_id,stop_id\nT1,S1\n")
                                          << "stop_times.txt, line 1: the column stop_sequence is missing" << 62;
        f = base;
        f[QStringLiteral("stop_times.txt")].replace("T1,08:02:00,08:02:00,S2", "T1,08:02:00,08:02:00,S9");
        QTest::newRow("unknown stop") << f << "stop_times.txt, line 3, column 4 (stop_id): the stop S9 is not in stops.txt" << 62;
        QTest::newRow("unknown fare") << with(base, QStringLiteral("fare_rules.txt"), "fare_id,origin_id\nF180,Z1\nF999,Z2\n")
                                      << "fare_rules.txt, line 3, column 1 (fare_id): the fare F999 is not in fare_attributes.txt" << 62;
        QTest::newRow("price not a number") << with(base, QStringLiteral("fare_attributes.txt"), "fare_id,price\nF180,百八十\n")
                                            << "fare_attributes.txt, line 2, column 2 (price): the price \"百八十\" is not a number" << 13;
        QTest::newRow("price past 16 bits") << with(base, QStringLiteral("fare_attributes.txt"), "fare_id,price\nF180,40000\n")
                                            << "fare_attributes.txt, line 2, column 2 (price): the price 40000 does not fit the board (0..32767)" << 6;
        QTest::newRow("price in sen") << with(base, QStringLiteral("fare_attributes.txt"), "fare_id,price\nF180,180.5\n")
                                      << "fare_attributes.txt, line 2, column 2 (price): the price \"180.5\" is not a whole number of yen" << 13;
        QTest::newRow("open quote") << with(base, QStringLiteral("routes.txt"), "route_id\nR1\n\"R2\n")
                                    << "routes.txt, line 3: a quoted field is never closed" << 62;
        QTest::newRow("unneeded files broken") << with(with(base, QStringLiteral("routes_jp.txt"), "\"\n"), QStringLiteral("calendar.txt"), "")
                                               << QString() << 0;
    }
    void errors()
    {
        QFETCH(Files, feed);
        QFETCH(QString, where);
        QFETCH(int, number);
        try {
            opendata::importPattern(folder(feed), {QStringLiteral("R1"), {}, {}, 0});
            QVERIFY2(where.isEmpty(), "a broken feed was taken");
        } catch (const vb::Error &e) {
            QCOMPARE(e.description(), where);
            QCOMPARE(e.number(), number);
        }
    }

    void choices_data()
    {
        QTest::addColumn<opendata::Choice>("choice");
        QTest::addColumn<int>("stops"); // 0: refused
        QTest::addColumn<QString>("trip");
        QTest::newRow("most trips") << opendata::Choice{QStringLiteral("R1"), {}, {}, 0} << 4 << "T1";
        QTest::newRow("direction 1") << opendata::Choice{QStringLiteral("R1"), QStringLiteral("1"), {}, 0} << 4 << "T3";
        QTest::newRow("the second pattern") << opendata::Choice{QStringLiteral("R1"), {}, {}, 1} << 4 << "T3";
        QTest::newRow("by trip, its times") << opendata::Choice{{}, {}, QStringLiteral("T2"), 0} << 4 << "T2";
        QTest::newRow("no such route") << opendata::Choice{QStringLiteral("R7"), {}, {}, 0} << 0 << "";
        QTest::newRow("no such pattern") << opendata::Choice{QStringLiteral("R1"), {}, {}, 2} << 0 << "";
        QTest::newRow("trip on another route") << opendata::Choice{QStringLiteral("R1"), {}, QStringLiteral("T4"), 0} << 0 << "";
    }
    void choices()
    {
        QFETCH(opendata::Choice, choice);
        QFETCH(int, stops);
        QFETCH(QString, trip);
        try {
            const opendata::Import im = opendata::importPattern(folder(line(4)), choice);
            QCOMPARE(im.records.size(), stops);
            QCOMPARE(im.tripId, trip);
            // The chosen trip's times where every reader looks; after them each
            // trip of the pattern by the time it leaves.
            const QStringList lines = QString::fromUtf8(im.stops).split(QStringLiteral("\r\n"));
            const QStringList row = lines[1].split(u',');
            QCOMPARE(row.mid(5, 2).join(u','), trip == "T2" ? "09:01:00,09:01:00" : trip == "T1" ? "08:01:00,08:01:00" : ",");
            if (trip != "T3") {
                QCOMPARE(lines[0].section(u',', 7), "arrival:T1,departure:T1,arrival:T2,departure:T2");
                QCOMPARE(row.mid(7).join(u','), "08:01:00,08:01:00,09:01:00,09:01:00");
            }
        } catch (const vb::Error &e) {
            QVERIFY2(stops == 0, qPrintable(e.description()));
            QCOMPARE(e.number(), 9);
        }
    }

    // The archive as published: BOM, CRLF, files in a folder of the archive.
    void archive()
    {
        Files f = published(with(with(line(3), QStringLiteral("fare_attributes.txt"), kZoneFares), QStringLiteral("fare_rules.txt"),
                                 "fare_id,origin_id,destination_id\nF180,Z1,Z2\nF250,Z1,Z3\nF180,Z2,Z3\n"));
        Files nested;
        for (auto it = f.cbegin(); it != f.cend(); ++it)
            nested.insert(QStringLiteral("feed_20240401/") + it.key(), it.value());
        const QByteArray bytes = zipped(nested);
        QVERIFY(!bytes.isEmpty());
        const opendata::Import im = opendata::importPattern(opendata::Feed::fromZip(bytes), {QStringLiteral("R1"), QStringLiteral("0"), {}, 0});
        QCOMPARE(im.records[2].StopName, QStringLiteral("停留所3"));
        QCOMPARE(faresOf(im.records[2], 2), (QList<int>{250, 180}));
        QCOMPARE(cp932::decode(im.readings), QStringLiteral("停留所1,きてん\r\n停留所2,なかほど\r\n停留所3,しゅうてん\r\n"));
    }

    void badArchives_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("maxEntries");
        QTest::addColumn<qint64>("maxUncompressed");
        QTest::addColumn<int>("number");
        const Files f = line(3);
        QTest::newRow("not a zip") << QByteArray("PK\x03\x04 garbage") << 100 << (qint64(1) << 20) << 75;
        QTest::newRow("too many entries") << zipped(f) << 3 << (qint64(1) << 20) << 7;
        QTest::newRow("unpacks past the bound") << zipped(with(f, QStringLiteral("stops.txt"), f.value(QStringLiteral("stops.txt")) + QByteArray(1 << 20, ' ')))
                                                << 100 << (qint64(1) << 19) << 7;
        QTest::newRow("encrypted") << zipped(f, [](zip_t *z, zip_int64_t i) { zip_file_set_encryption(z, zip_uint64_t(i), ZIP_EM_AES_256, "pw"); })
                                   << 100 << (qint64(1) << 20) << 75;
    }
    void badArchives()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, maxEntries);
        QFETCH(qint64, maxUncompressed);
        QFETCH(int, number);
        QVERIFY(!bytes.isEmpty());
        opendata::FeedLimits limits;
        limits.maxEntries = maxEntries;
        limits.maxUncompressed = maxUncompressed;
        try {
            opendata::listPatterns(opendata::Feed::fromZip(bytes, QStringLiteral("feed.zip"), limits));
            QFAIL("a bad archive was read");
        } catch (const vb::Error &e) {
            QCOMPARE(e.number(), number);
        }
    }

    // The command: files written whole, nothing on error.
    void command()
    {
        QTemporaryDir dir;
        const QString feedPath = dir.filePath(QStringLiteral("feed.zip"));
        QFile z(feedPath);
        QVERIFY(z.open(QIODevice::WriteOnly));
        z.write(zipped(published(line(3))));
        z.close();
        const QString exe = QCoreApplication::applicationDirPath() + QStringLiteral("/soratobi4-route");
        QProcess p;
        p.start(exe, {QStringLiteral("gtfs"), feedPath, QStringLiteral("--list")});
        QVERIFY(p.waitForFinished());
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(p.readAllStandardOutput().contains("R1\t0\t0\t2\t3\t11 駅前線\t終点\t停留所1\t停留所3\tP1"));
        const QString out = dir.filePath(QStringLiteral("out"));
        QDir().mkpath(out);
        p.start(exe, {QStringLiteral("gtfs"), feedPath, QStringLiteral("--route"), QStringLiteral("R9"), QStringLiteral("--number"),
                      QStringLiteral("12"), QStringLiteral("--out"), out});
        QVERIFY(p.waitForFinished());
        QCOMPARE(p.exitCode(), 1);
        QCOMPARE(QDir(out).entryList(QDir::Files), QStringList());
        p.start(exe, {QStringLiteral("gtfs"), feedPath, QStringLiteral("--route"), QStringLiteral("R1"), QStringLiteral("--number"),
                      QStringLiteral("12"), QStringLiteral("--out"), out});
        QVERIFY(p.waitForFinished());
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(QDir(out).entryList(QDir::Files),
                 (QStringList{QStringLiteral("12.hy3"), QStringLiteral("12.stops.csv"), QStringLiteral("12tp.csv"), QStringLiteral("12yomi.csv")}));
    }

    // Ridden as a user rides it: the route on the keypad, the fares at a
    // few stops, the feed's reading of a name the dictionary reads otherwise.
    void ride()
    {
        QTemporaryDir dir;
        Files f = with(with(line(3), QStringLiteral("fare_attributes.txt"), kZoneFares), QStringLiteral("fare_rules.txt"),
                       "fare_id,origin_id,destination_id\nF180,Z1,Z2\nF250,Z1,Z3\nF180,Z2,Z3\n");
        f[QStringLiteral("stops.txt")].replace("停留所3", "日本橋");
        f.insert(QStringLiteral("translations.txt"), "trans_id,lang,translation\n日本橋,ja-Hrkt,にっぽんばし\n");
        const opendata::Import im = opendata::importPattern(folder(f), {QStringLiteral("R1"), QStringLiteral("0"), {}, 0});
        const auto put = [&](const QString &name, const QByteArray &bytes) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        };
        put(QStringLiteral("12.hy3"), fare::writeFareFile(im.records));
        put(QStringLiteral("12tp.csv"), im.tape);
        put(QStringLiteral("12yomi.csv"), im.readings);

        mdlIniIo::setSettingsPath(dir.filePath(QStringLiteral("settings.in4")));
        mdlSndAPI::setMciSender([](const QString &) { return 0; });
        platform::setMsgBoxHandler([](const platform::MsgBoxRequest &) { return platform::vbOK; });
        frmCtl::lampTestMs = 0;
        windows::Form1();
        forms::setText(*windows::frmOption().Text2(0), dir.path());
        forms::setText(*windows::frmOption().Text2(1), dir.path());
        const QString dictionary = speech::reading(QStringLiteral("日本橋"));
        frmCtl &c = windows::frmCtl();
        c.CommandButton1_Click(10);
        c.CommandButton1_Click(1);
        c.CommandButton1_Click(2);
        c.Command1_Click(1);
        Form1 &panel = windows::Form1();
        QCOMPARE(panel.ChimeiCtl()->accessibleDescription(), QStringLiteral("停留所1"));
        c.Command2_Click(1);
        c.Command2_Click(1);
        QCOMPARE(panel.ChimeiCtl()->accessibleDescription(), QStringLiteral("日本橋"));
        QCOMPARE(panel.Degit(1)->Value().toInt(), 250);
        QCOMPARE(panel.Degit(2)->Value().toInt(), 180);
        // Loading the route gave the reading step the route's list.
        QCOMPARE(speech::reading(QStringLiteral("日本橋")), QStringLiteral("ニッポンバシ"));
        QVERIFY2(dictionary != QStringLiteral("ニッポンバシ"), qPrintable(dictionary));
        mdlSndAPI::setMciSender({});
        platform::setMsgBoxHandler({});
        windows::unloadAll();
        speech::setUserReadings({});
    }

    // The import window over a feed on disk: its patterns listed with a
    // number each, the ticked one written into the options' folders, and a
    // route already there replaced only when the user says so.
    void importWindow()
    {
        QTemporaryDir feedDir, fares, tapes;
        const Files f = with(with(line(4), QStringLiteral("fare_attributes.txt"), kZoneFares),
                             QStringLiteral("fare_rules.txt"), "fare_id,origin_id,destination_id\nF180,Z1,Z2\n");
        for (auto it = f.cbegin(); it != f.cend(); ++it) {
            QFile file(feedDir.filePath(it.key()));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(it.value());
        }
        QTemporaryDir settings;
        mdlIniIo::setSettingsPath(settings.filePath(QStringLiteral("settings.in4")));
        mdlSndAPI::setMciSender([](const QString &) { return 0; });
        QStringList boxes;
        int answer = platform::vbNo;
        platform::setMsgBoxHandler([&](const platform::MsgBoxRequest &r) {
            boxes << r.prompt;
            return answer;
        });
        windows::Form1();
        forms::setText(*windows::frmOption().Text2(0), fares.path());
        forms::setText(*windows::frmOption().Text2(1), tapes.path());

        GtfsImport w;
        w.txtFeed->setText(feedDir.path());
        QVERIFY(w.readFeed());
        QCOMPARE(w.lstPatterns->topLevelItemCount(), 3); // R1 out and back, R2
        QTreeWidgetItem *out = w.lstPatterns->topLevelItem(0);
        QCOMPARE(out->text(GtfsImport::ColStops), QStringLiteral("4"));
        QCOMPARE(out->text(GtfsImport::ColTrips), QStringLiteral("2"));
        QCOMPARE(out->text(GtfsImport::ColNumber), QStringLiteral("11")); // the short name's digits
        QCOMPARE(w.lstPatterns->topLevelItem(1)->text(GtfsImport::ColNumber), QStringLiteral("1")); // 11 is taken
        out->setCheckState(GtfsImport::ColRoute, Qt::Checked);
        QCOMPARE(w.importChecked(), 1);
        const QByteArray hy3 = bytesOf(QDir(fares.path()).filePath(QStringLiteral("11.hy3")));
        QCOMPARE(fare::readFareFile(hy3).DataCount, int16_t(4));
        QVERIFY(QFileInfo::exists(QDir(fares.path()).filePath(QStringLiteral("11.stops.csv"))));
        QVERIFY(QFileInfo::exists(QDir(tapes.path()).filePath(QStringLiteral("11tp.csv"))));
        QVERIFY(boxes.isEmpty());

        // Again: the user is asked, and No keeps the route as it was.
        QFile::remove(QDir(tapes.path()).filePath(QStringLiteral("11tp.csv")));
        QCOMPARE(w.importChecked(), 0);
        QCOMPARE(boxes.size(), 1);
        QVERIFY(boxes[0].contains(QStringLiteral("系統11")));
        QVERIFY(!QFileInfo::exists(QDir(tapes.path()).filePath(QStringLiteral("11tp.csv"))));
        answer = platform::vbYes;
        QCOMPARE(w.importChecked(), 1);
        QVERIFY(QFileInfo::exists(QDir(tapes.path()).filePath(QStringLiteral("11tp.csv"))));

        // A number out of range and a feed that is not there: said, nothing written.
        out->setText(GtfsImport::ColNumber, QStringLiteral("0"));
        QCOMPARE(w.importChecked(), 0);
        QVERIFY(w.txtReport->toPlainText().contains(QStringLiteral("1～99999")));
        w.txtFeed->setText(feedDir.filePath(QStringLiteral("none")));
        QVERIFY(!w.readFeed());
        QCOMPARE(w.lstPatterns->topLevelItemCount(), 0);
        QCOMPARE(w.importChecked(), 0);

        mdlSndAPI::setMciSender({});
        platform::setMsgBoxHandler({});
        windows::unloadAll();
    }

    // A loop passes its stops twice and the feed prices each visit (by the
    // length of the ride): every ticket's fare rises along the ride, each
    // a price the feed gives for its pair, and the report says so.
    void loopFares()
    {
        const QList<int> at{0, 1, 2, 3, 4, 2, 1, 0}; // the station, A, B, C, D, back by B and A
        const int n = int(at.size());
        QByteArray stops = "stop_id,stop_name,zone_id\n", times = "trip_id,arrival_time,departure_time,stop_id,stop_sequence\n";
        for (int s = 0; s <= 4; ++s)
            stops += QStringLiteral("P%1,地点%1,Z%1\n").arg(s).toUtf8();
        for (int i = 0; i < n; ++i)
            times += QStringLiteral("T1,8:%1,8:%1,P%2,%3\n").arg(10 + i).arg(at[i]).arg(i + 1).toUtf8();
        QMap<std::pair<int, int>, QSet<int>> given;
        QByteArray attrs = "fare_id,price\n", rules = "fare_id,origin_id,destination_id\n";
        QSet<int> prices;
        for (int b = 0; b < n; ++b)
            for (int a = b + 1; a < n; ++a) {
                const int yen = 150 + 20 * (a - b);
                if (!given[{at[b], at[a]}].contains(yen))
                    rules += QStringLiteral("F%1,Z%2,Z%3\n").arg(yen).arg(at[b]).arg(at[a]).toUtf8();
                given[{at[b], at[a]}].insert(yen);
                prices.insert(yen);
            }
        for (int yen : prices)
            attrs += QStringLiteral("F%1,%1\n").arg(yen).toUtf8();
        const Files f{{QStringLiteral("stops.txt"), stops},
                      {QStringLiteral("routes.txt"), "route_id,route_short_name,route_type\nL,循環,3\n"},
                      {QStringLiteral("trips.txt"), "route_id,service_id,trip_id\nL,W,T1\n"},
                      {QStringLiteral("stop_times.txt"), times},
                      {QStringLiteral("fare_attributes.txt"), attrs},
                      {QStringLiteral("fare_rules.txt"), rules}};
        const opendata::Import im = opendata::importPattern(folder(f), {QStringLiteral("L"), {}, {}, 0});
        QCOMPARE(im.ticketCount, n - 1);
        for (int b = 0; b + 1 < n; ++b) {
            int before = 0;
            for (int i = b + 1; i < n; ++i) {
                const int yen = im.records[i].fare(b + 1);
                const bool given_ = given.value({at[b], at[i]}).contains(yen);
                QVERIFY2(given_ && yen >= before,
                         qPrintable(QStringLiteral("ticket %1 at stop %2: %3 after %4").arg(b + 1).arg(i + 1).arg(yen).arg(before)));
                before = yen;
            }
        }
        QCOMPARE(faresOf(im.records[6], 2), (QList<int>{270, 250})); // A again: not the 170 and 150 of the first visit
        QVERIFY2(im.notes.join(u'\n').contains(QStringLiteral("fare_rules.txt は")), qPrintable(im.notes.join(u'\n')));
        QVERIFY(QString::fromUtf8(im.stops).contains(QStringLiteral("1,P0,地点0,,,08:10:00,08:10:00"))); // H:MM kept
    }

    // 72 stops in blocks of three, the first of a block in a zone of its
    // own: past its block a ride costs the same from any of the three,
    // inside it 200 yen from the first and 160 from the others. Every
    // rider, wherever boarded, sees the fare due at every later stop.
    void sharedTickets()
    {
        const int blocks = 24, n = 3 * blocks;
        const auto zone = [](int i) { return QStringLiteral("%1%2").arg(QChar(i % 3 ? u'B' : u'A')).arg(i / 3); }; // i from 0
        const auto due = [](int b, int i) { return i / 3 > b / 3 ? 160 + 20 * (i / 3 - b / 3) : b % 3 ? 160 : 200; };
        Files f = line(n, [&](int i) { return zone(i - 1); });
        QByteArray attrs = "fare_id,price\n", rules = "fare_id,origin_id,destination_id\n";
        for (int d = 0; d < blocks; ++d)
            attrs += QStringLiteral("F%1,%1\n").arg(160 + 20 * d).toUtf8();
        for (int j = 0; j < blocks; ++j) {
            rules += QStringLiteral("F200,A%1,B%1\nF160,B%1,B%1\n").arg(j).toUtf8();
            for (int m = j + 1; m < blocks; ++m)
                for (QChar o : {u'A', u'B'})
                    for (QChar d : {u'A', u'B'})
                        rules += QStringLiteral("F%1,%2%3,%4%5\n").arg(160 + 20 * (m - j)).arg(o).arg(j).arg(d).arg(m).toUtf8();
        }
        f.insert(QStringLiteral("fare_attributes.txt"), attrs);
        f.insert(QStringLiteral("fare_rules.txt"), rules);
        const opendata::Import im = opendata::importPattern(folder(f), {QStringLiteral("R1"), QStringLiteral("0"), {}, 0});
        QCOMPARE(im.ticketCount, 60);
        for (int b = 0; b + 1 < n; ++b) {
            const int ticket = im.records[b].SeiriNo;
            for (int i = b + 1; i < n; ++i)
                if (im.records[i].fare(ticket) != due(b, i))
                    QFAIL(qPrintable(QStringLiteral("boarded at %1 (ticket %2), at %3: %4 shown, %5 due")
                                         .arg(b + 1).arg(ticket).arg(i + 1).arg(im.records[i].fare(ticket)).arg(due(b, i))));
        }
    }

    // A Shift_JIS copy of a feed, Japanese ids and all, reads as the UTF-8
    // one and says so; text that is neither is refused at its line.
    void encoding()
    {
        Files utf8 = with(line(3), QStringLiteral("translations.txt"), "trans_id,lang,translation\n停留所2,ja-Hrkt,なかほど\n");
        utf8[QStringLiteral("trips.txt")].replace("T1,", "便1,");
        utf8[QStringLiteral("stop_times.txt")].replace("T1,", "便1,");
        utf8[QStringLiteral("routes.txt")].replace("駅前線", "駅前線（表口）ｴｷﾏｴ"); // 表 ends in 0x5C
        Files sjis;
        for (auto it = utf8.cbegin(); it != utf8.cend(); ++it)
            sjis.insert(it.key(), cp932::encode(QString::fromUtf8(it.value())));
        const opendata::Choice c{QStringLiteral("R1"), QStringLiteral("0"), {}, 0};
        const opendata::Import a = opendata::importPattern(folder(utf8), c), b = opendata::importPattern(folder(sjis), c);
        QCOMPARE(b.pattern.routeName, QStringLiteral("11 駅前線（表口）ｴｷﾏｴ"));
        QCOMPARE(b.tripId, QStringLiteral("便1"));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(b.records[i].StopName, a.records[i].StopName);
        QCOMPARE(b.tape, a.tape);
        QCOMPARE(b.readings, a.readings);
        QCOMPARE(b.stops, a.stops);
        QVERIFY(!a.notes.join(u'\n').contains(QStringLiteral("Shift_JIS")));
        QVERIFY2(b.notes.contains(QStringLiteral("stops.txt: UTF-8ではないため、Shift_JIS（コードページ932）として読みました")), qPrintable(b.notes.join(u'\n')));
        // Byte by byte: a character split between chunks reads the same.
        QStringList got;
        opendata::CsvReader r(QStringLiteral("stops.txt"), [&](const opendata::CsvRecord &rec) { got << QString::fromUtf8(rec.field(1)); });
        const QByteArray stops = sjis.value(QStringLiteral("stops.txt"));
        for (qsizetype i = 0; i < stops.size(); ++i)
            r.feed(QByteArrayView(stops).sliced(i, 1));
        r.finish();
        QCOMPARE(got, (QStringList{QStringLiteral("stop_name"), QStringLiteral("停留所1"), QStringLiteral("停留所2"), QStringLiteral("停留所3")}));

        const QByteArray valid = QStringLiteral("駅前,えきまえ\n").toUtf8();
        const QList<std::pair<QByteArray, QString>> refused{
            {"a,b\n" + cp932::encode(QStringLiteral("駅前")) + "\n\x81 x\n", QStringLiteral("t.txt, line 3: the text is not UTF-8 (nor Shift_JIS, code page 932): save the file as UTF-8")},
            {"\xEF\xBB\xBF" "a\n" + valid + "\x92\xE2\n", QStringLiteral("t.txt, line 3: the text is not UTF-8: save the file as UTF-8")},
            {valid.repeated(5000) + cp932::encode(QStringLiteral("駅前")) + "\n", QStringLiteral("t.txt, line 5001: the text is not UTF-8: save the file as UTF-8")},
            {"a\n" + valid + "caf\xE9\n", QStringLiteral("t.txt, line 3: the text is not UTF-8: save the file as UTF-8")},
        };
        for (const auto &[bytes, why] : refused) {
            try {
                opendata::readCsv(QStringLiteral("t.txt"), bytes, [](const auto &) {});
                QFAIL(qPrintable(QStringLiteral("taken: ") + why));
            } catch (const opendata::FeedError &e) {
                QCOMPARE(e.description(), why);
            }
        }
        // A field past the 64 KB bound that ends in the same line is refused too.
        try {
            opendata::readCsv(QStringLiteral("t.txt"), "a,b\nx," + QByteArray(70 * 1024, 'y') + ",z\n", [](const auto &) {});
            QFAIL("a field of 70 KB was read");
        } catch (const opendata::FeedError &e) {
            QCOMPARE(e.line, 2);
            QCOMPARE(e.number(), 7);
        }
    }

    // The announcements call the vehicle by its route_type and never say 行 twice.
    void vehicles_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("headsign");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        const QString ride = QStringLiteral("ご乗車ありがとうございます。"), rode = QStringLiteral("終点、停留所3です。ご乗車ありがとうございました。");
        QTest::newRow("a tram, a headsign ending in 行") << 0 << "八草キャンパス行" << ride + "この電車は、八草キャンパス行きです。" << rode;
        QTest::newRow("a tram by the extended types, ゆき") << 900 << "駅前ゆき" << ride + "この電車は、駅前ゆきです。" << rode;
        QTest::newRow("a ferry") << 4 << "島の港" << "ご乗船ありがとうございます。この船は、島の港行きです。"
                                 << "終点、停留所3です。ご乗船ありがとうございました。";
        QTest::newRow("a bus, 行き") << 3 << "駅前行き" << ride + "このバスは、駅前行きです。" << rode;
        QTest::newRow("a loop") << 3 << "市内循環" << ride + "このバスは、市内循環です。" << rode;
    }
    void vehicles()
    {
        QFETCH(int, type);
        QFETCH(QString, headsign);
        QFETCH(QString, first);
        QFETCH(QString, last);
        Files f = line(3);
        f[QStringLiteral("routes.txt")].replace(",3,P1", QStringLiteral(",%1,P1").arg(type).toUtf8());
        f[QStringLiteral("trips.txt")].replace("終点,", headsign.toUtf8() + ',');
        const opendata::Import im = opendata::importPattern(folder(f), {QStringLiteral("R1"), QStringLiteral("0"), {}, 0});
        const QList<tape::TapeLine> tape = tape::readTapeList(im.tape);
        QCOMPARE(tape.first().TapeText, first);
        QCOMPARE(tape.last().TapeText, last);
    }

    // A route without names goes by its operator and where it goes; a
    // free shuttle's 0 yen is said.
    void shuttle()
    {
        Files f = with(with(line(3), QStringLiteral("fare_attributes.txt"), "fare_id,price\nF0,0\n"), QStringLiteral("fare_rules.txt"), "fare_id\nF0\n");
        f[QStringLiteral("routes.txt")].replace("R2,A,12,,3,", "R2,A,,,3,");
        f[QStringLiteral("routes.txt")] += "R3,A,,,3,\n";
        f[QStringLiteral("trips.txt")] += "R3,W,T5,大学行,0\n";
        f[QStringLiteral("stop_times.txt")] += "T5,,,S3,1\nT5,,,S1,2\n";
        const opendata::Listing l = opendata::listPatterns(folder(f));
        QCOMPARE(l.patterns.size(), 4);
        QCOMPARE(l.patterns[2].routeName, QStringLiteral("バス 停留所1～停留所2"));
        QCOMPARE(l.patterns[3].routeName, QStringLiteral("バス 大学行"));
        const opendata::Import im = opendata::importPattern(folder(f), {QStringLiteral("R1"), QStringLiteral("0"), {}, 0});
        QCOMPARE(im.faresUndefined, 0);
        QVERIFY2(im.notes.contains(QStringLiteral("運賃0円（無料）の区間が3あります。表示器では空欄になります")), qPrintable(im.notes.join(u'\n')));
    }

    // The command makes the folders it is told to write into.
    void commandMakesFolders()
    {
        QTemporaryDir dir;
        const QString feedPath = dir.filePath(QStringLiteral("feed.zip"));
        QFile z(feedPath);
        QVERIFY(z.open(QIODevice::WriteOnly));
        z.write(zipped(line(3)));
        z.close();
        const QString out = dir.filePath(QStringLiteral("new/fares")), tapes = dir.filePath(QStringLiteral("new/tapes"));
        QProcess p;
        p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/soratobi4-route"),
                {QStringLiteral("gtfs"), feedPath, QStringLiteral("--route"), QStringLiteral("R1"), QStringLiteral("--number"),
                 QStringLiteral("12"), QStringLiteral("--out"), out, QStringLiteral("--tape-out"), tapes});
        QVERIFY(p.waitForFinished());
        QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
        QCOMPARE(QDir(out).entryList(QDir::Files), (QStringList{QStringLiteral("12.hy3"), QStringLiteral("12.stops.csv")}));
        QCOMPARE(QDir(tapes).entryList(QDir::Files), QStringList{QStringLiteral("12tp.csv")});
    }

    // The window over a feed of long names: the counts and the number fit
    // without sideways scrolling, the numbers of routes already in the fare
    // folder are not suggested, and the report is in Japanese.
    void importWindowReport()
    {
        QTemporaryDir feedDir, fares, tapes, settings;
        Files f = with(with(line(4), QStringLiteral("fare_attributes.txt"), kZoneFares),
                       QStringLiteral("fare_rules.txt"), "fare_id,origin_id,destination_id\nF180,Z1,Z2\n");
        f[QStringLiteral("routes.txt")].replace("駅前線", QStringLiteral("中央駅前・市役所・総合病院・大学病院・県庁・美術館経由の循環線").toUtf8());
        f[QStringLiteral("stops.txt")].replace("停留所1", QStringLiteral("市立総合医療センター北口バスターミナル前").toUtf8());
        for (auto it = f.cbegin(); it != f.cend(); ++it) {
            QFile file(feedDir.filePath(it.key()));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(it.value());
        }
        QFile old(QDir(fares.path()).filePath(QStringLiteral("11.HY3")));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.close();
        mdlIniIo::setSettingsPath(settings.filePath(QStringLiteral("settings.in4")));
        mdlSndAPI::setMciSender([](const QString &) { return 0; });
        platform::setMsgBoxHandler([](const platform::MsgBoxRequest &) { return platform::vbYes; });
        windows::Form1();
        forms::setText(*windows::frmOption().Text2(0), fares.path());
        forms::setText(*windows::frmOption().Text2(1), tapes.path());

        GtfsImport w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.txtFeed->setText(feedDir.path());
        QVERIFY(w.readFeed());
        QCOMPARE(w.lstPatterns->topLevelItem(0)->text(GtfsImport::ColNumber), QStringLiteral("1")); // 11 is in the folder
        QCOMPARE(w.lstPatterns->topLevelItem(1)->text(GtfsImport::ColNumber), QStringLiteral("2"));
        const auto fits = [&] {
            const QHeaderView *h = w.lstPatterns->header();
            return h->sectionViewportPosition(GtfsImport::ColNumber) + h->sectionSize(GtfsImport::ColNumber) <= w.lstPatterns->viewport()->width()
                   && h->sectionSize(GtfsImport::ColNumber) >= h->sectionSizeHint(GtfsImport::ColNumber);
        };
        QVERIFY(fits());
        w.resize(600, 400);
        QTRY_VERIFY(fits());
        w.lstPatterns->topLevelItem(0)->setCheckState(GtfsImport::ColRoute, Qt::Checked);
        QCOMPARE(w.importChecked(), 1);
        const QString report = w.txtReport->toPlainText();
        QVERIFY2(report.contains(QStringLiteral("運賃: fare_rules.txt のゾーンごとに")) && !report.contains(QStringLiteral("adult")), qPrintable(report));
        // A broken feed, said in Japanese with its place.
        QFile::remove(feedDir.filePath(QStringLiteral("stop_times.txt")));
        QVERIFY(!w.readFeed());
        QVERIFY2(w.txtReport->toPlainText().contains(QStringLiteral("stop_times.txt: フィードにこのファイルがありません（エラー 53）")), qPrintable(w.txtReport->toPlainText()));

        mdlSndAPI::setMciSender({});
        platform::setMsgBoxHandler({});
        windows::unloadAll();
    }

    // A feed past any of its bounds stops with 7 naming the file, listed or
    // imported; the same feed within them reads.
    void feedBounds_data()
    {
        QTest::addColumn<QString>("bound");
        QTest::addColumn<qint64>("value");
        QTest::addColumn<bool>("import"); // only the import reads the file
        QTest::addColumn<QString>("file");
        QTest::newRow("stop_times rows") << "maxStopTimes" << qint64(9) << false << "stop_times.txt";
        QTest::newRow("stops rows") << "maxStops" << qint64(3) << false << "stops.txt";
        QTest::newRow("routes rows") << "maxRoutes" << qint64(1) << false << "routes.txt";
        QTest::newRow("trips rows") << "maxTrips" << qint64(3) << false << "trips.txt";
        QTest::newRow("fare_rules rows") << "maxRules" << qint64(2) << true << "fare_rules.txt";
        QTest::newRow("other rows") << "maxRows" << qint64(2) << true << "fare_attributes.txt";
        QTest::newRow("patterns") << "maxPatterns" << qint64(2) << false << "stop_times.txt";
        QTest::newRow("model memory") << "maxModelBytes" << qint64(1000) << false << "stops.txt";
        QTest::newRow("text of a table") << "maxTableBytes" << qint64(100) << true << "fare_attributes.txt";
        QTest::newRow("one file") << "maxFileBytes" << qint64(200) << false << "stop_times.txt";
        QTest::newRow("the whole feed") << "maxUncompressed" << qint64(700) << true << "stop_times.txt";
    }
    void feedBounds()
    {
        QFETCH(QString, bound);
        QFETCH(qint64, value);
        QFETCH(bool, import);
        QFETCH(QString, file);
        const Files f = published(with(with(line(4), QStringLiteral("fare_attributes.txt"), kZoneFares), QStringLiteral("fare_rules.txt"),
                                       "fare_id,origin_id,destination_id\nF180,Z1,Z2\nF250,Z1,Z3\nF180,Z2,Z3\n"));
        const auto read = [&](const opendata::FeedLimits &limits) {
            const opendata::Feed feed = opendata::Feed::fromFolder(
                f.keys(), [f](const QString &n) { return std::optional<QByteArray>(f.value(n)); }, limits);
            opendata::listPatterns(feed);
            opendata::importPattern(feed, {QStringLiteral("R1"), QStringLiteral("0"), {}, 0});
        };
        read({});
        // One feed read again and again, as the window does: the bound on the whole feed holds for each read.
        {
            opendata::FeedLimits once;
            qint64 all = 0;
            for (const QByteArray &b : f)
                all += b.size();
            once.maxUncompressed = 2 * all;
            const opendata::Feed feed = opendata::Feed::fromFolder(
                f.keys(), [f](const QString &n) { return std::optional<QByteArray>(f.value(n)); }, once);
            for (int i = 0; i < 5; ++i)
                opendata::importPattern(feed, {QStringLiteral("R1"), QStringLiteral("0"), {}, 0});
        }
        opendata::FeedLimits limits;
        const QHash<QString, qint64 *> fields{{"maxStopTimes", &limits.maxStopTimes}, {"maxStops", &limits.maxStops},
                                               {"maxRoutes", &limits.maxRoutes},       {"maxTrips", &limits.maxTrips},
                                               {"maxRules", &limits.maxRules},         {"maxRows", &limits.maxRows},
                                               {"maxModelBytes", &limits.maxModelBytes}, {"maxTableBytes", &limits.maxTableBytes},
                                               {"maxFileBytes", &limits.maxFileBytes}, {"maxUncompressed", &limits.maxUncompressed}};
        if (bound == QLatin1String("maxPatterns"))
            limits.maxPatterns = int(value);
        else
            *fields.value(bound) = value;
        try {
            const opendata::Feed feed = opendata::Feed::fromFolder(
                f.keys(), [f](const QString &n) { return std::optional<QByteArray>(f.value(n)); }, limits);
            opendata::listPatterns(feed);
            QVERIFY2(import, "the listing passed the bound");
            opendata::importPattern(feed, {QStringLiteral("R1"), QStringLiteral("0"), {}, 0});
            QFAIL("the import passed the bound");
        } catch (const opendata::FeedError &e) {
            QCOMPARE(e.number(), 7);
            QCOMPARE(e.file, file);
        }
    }

    // Fare rules given over and over cost one entry each and import at once;
    // more different fares for one ride than any fare table has are refused,
    // naming the file, before every pair of stops is compared with them.
    void fareRuleFloods_data()
    {
        QTest::addColumn<Files>("feed");
        QTest::addColumn<QString>("refused"); // empty: imports, every fare the one given
        QByteArray repeated = "fare_id,origin_id,destination_id\n", many = repeated;
        QByteArray attributes = "fare_id,price,currency_type,payment_method,transfers\n";
        QByteArray legs = "leg_group_id,network_id,from_area_id,to_area_id,fare_product_id\n", manyLegs = legs;
        QByteArray products = "fare_product_id,amount,currency\n";
        for (int i = 0; i < 200000; ++i)
            repeated += "F180,,\n", legs += "L,,,,P1\n";
        for (int i = 1; i <= 300; ++i) {
            many += QByteArray("G") + QByteArray::number(i) + ",,\n";
            attributes += QByteArray("G") + QByteArray::number(i) + "," + QByteArray::number(i) + ",JPY,0,0\n";
            manyLegs += QByteArray("L,,,,P") + QByteArray::number(i) + "\n";
            products += QByteArray("P") + QByteArray::number(i) + "," + QByteArray::number(i) + ",JPY\n";
        }
        const Files zones = with(line(30), QStringLiteral("fare_attributes.txt"), kZoneFares + attributes.mid(attributes.indexOf('\n') + 1));
        QTest::newRow("zones, one rule 200000 times") << with(zones, QStringLiteral("fare_rules.txt"), repeated) << QString();
        QTest::newRow("zones, 300 fares for every ride") << with(zones, QStringLiteral("fare_rules.txt"), many) << "fare_rules.txt";
        const Files areas = with(with(line(30), QStringLiteral("stop_areas.txt"), "area_id,stop_id\nA1,S1\n"),
                                 QStringLiteral("fare_products.txt"), products);
        QTest::newRow("areas, one rule 200000 times") << with(areas, QStringLiteral("fare_leg_rules.txt"), legs) << QString();
        QTest::newRow("areas, 300 fares for every ride") << with(areas, QStringLiteral("fare_leg_rules.txt"), manyLegs)
                                                         << "fare_leg_rules.txt";
    }
    void fareRuleFloods()
    {
        QFETCH(Files, feed);
        QFETCH(QString, refused);
        try {
            const opendata::Import im = opendata::importPattern(folder(feed), {QStringLiteral("R1"), QStringLiteral("0"), {}, 0});
            QVERIFY2(refused.isEmpty(), "imported");
            const int fare = feed.contains(QStringLiteral("fare_rules.txt")) ? 180 : 1;
            QCOMPARE(im.records.last().fare(1), fare);
            QCOMPARE(im.records[1].fare(1), fare);
        } catch (const opendata::FeedError &e) {
            QVERIFY2(!refused.isEmpty(), qPrintable(e.description()));
            QCOMPARE(e.number(), 7);
            QCOMPARE(e.file, refused);
        }
    }

    // Rows in any order, the feed as a folder on the disk (streamed) or a
    // .zip read from the disk: the same patterns, the same route.
    void rowOrderAndSource()
    {
        Files f = published(line(5));
        const opendata::Listing sorted = opendata::listPatterns(folder(f));
        const opendata::Import im = opendata::importPattern(folder(f), {QStringLiteral("R1"), QStringLiteral("0"), {}, 0});
        QByteArray times = f.value(QStringLiteral("stop_times.txt"));
        QList<QByteArray> rows = times.split('\n');
        const QByteArray header = rows.takeFirst();
        std::reverse(rows.begin(), rows.end());
        std::rotate(rows.begin(), rows.begin() + 3, rows.end());
        f.insert(QStringLiteral("stop_times.txt"), header + '\n' + rows.join('\n'));

        QTemporaryDir dir;
        const QDir d(dir.path());
        QVERIFY(d.mkpath(QStringLiteral("feed")));
        for (auto it = f.cbegin(); it != f.cend(); ++it) {
            QFile out(d.filePath(QStringLiteral("feed/") + it.key()));
            QVERIFY(out.open(QIODevice::WriteOnly) && out.write(it.value()) == it.value().size());
        }
        QFile zip(d.filePath(QStringLiteral("feed.zip")));
        QVERIFY(zip.open(QIODevice::WriteOnly) && zip.write(zipped(f)) > 0);
        zip.close();
        for (const opendata::Feed &feed : {folder(f), opendata::openFeed(d.filePath(QStringLiteral("feed"))), opendata::openFeed(zip.fileName())}) {
            const opendata::Listing l = opendata::listPatterns(feed);
            QCOMPARE(l.patterns.size(), sorted.patterns.size());
            for (qsizetype i = 0; i < l.patterns.size(); ++i) {
                QCOMPARE(l.patterns[i].routeId, sorted.patterns[i].routeId);
                QCOMPARE(l.patterns[i].stops, sorted.patterns[i].stops);
                QCOMPARE(l.patterns[i].trips, sorted.patterns[i].trips);
                QCOMPARE(l.patterns[i].firstTripId, sorted.patterns[i].firstTripId);
                QCOMPARE(l.patterns[i].lastStop, sorted.patterns[i].lastStop);
            }
            const opendata::Import again = opendata::importPattern(feed, {QStringLiteral("R1"), QStringLiteral("0"), {}, 0});
            QCOMPARE(again.tripId, im.tripId);
            QCOMPARE(again.stops, im.stops);
            QCOMPARE(again.tape, im.tape);
            QCOMPARE(again.readings, im.readings);
        }
    }
};

QTEST_MAIN(TestOpenData)
#include "test_opendata.moc"
