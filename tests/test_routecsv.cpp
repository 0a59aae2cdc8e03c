// The route CSV converter: the demo route goes CSV -> .hy3 -> CSV -> .hy3
// unchanged, every encoding a spreadsheet writes reads the same, each bad
// cell is named by line and column, and the tool writes nothing on error.
// The announcement list check reads what the program reads.
#include "core/Cp932.h"
#include "core/VbError.h"
#include "ride/FareData.h"
#include "tests/FixtureCore.h"
#include "tools/RouteCsv.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using fixture::bytesOf;

QString demoSource(const char *name) { return QStringLiteral(S4_DEMO_SOURCE "/") + QLatin1String(name); }

// The raised error's number and description, or -1 when nothing was raised.
template<typename F>
std::pair<int, QString> errorOf(F &&f)
{
    try {
        f();
    } catch (...) {
        const vb::Error e = vb::currentError();
        return {e.number(), e.description()};
    }
    return {-1, {}};
}

} // namespace

class TestRouteCsv : public QObject {
    Q_OBJECT

private slots:
    void demoRouteRoundTripsByteForByte()
    {
        const auto records = routecsv::readRouteCsv(bytesOf(demoSource("route12.csv")));
        const QByteArray hy3 = fare::writeFareFile(records);
        const QByteArray csv = routecsv::writeRouteCsv(fare::readFareFile(hy3).records);
        const QByteArray again = fare::writeFareFile(routecsv::readRouteCsv(csv));
        QCOMPARE(again, hy3);
        QCOMPARE(routecsv::writeRouteCsv(fare::readFareFile(again).records), csv);
        // The build made the shipped file with the same converter.
        QCOMPARE(bytesOf(QStringLiteral(S4_DEMO_OUT "/12.hy3")), hy3);

        // A ride worth taking: about 20 stops, fares from 180 yen growing
        // with the distance, nothing owed for a ticket not yet issued.
        QCOMPARE(records.size(), 20);
        for (int i = 1; i <= records.size(); ++i) {
            const fare::FareRecord &r = records[i - 1];
            QCOMPARE(int(r.SeiriNo), i);
            for (int c = 1; c <= fare::kColumns; ++c) {
                if (c > i) {
                    QCOMPARE(int(r.fare(c)), 0);
                    continue;
                }
                QVERIFY(r.fare(c) >= 180);
                if (c < i)
                    QVERIFY(r.fare(c) >= r.fare(c + 1));
            }
        }
        QVERIFY(records.last().fare(1) > 400);
    }

    // The same sheet saved as UTF-8, UTF-8 with BOM or code page 932.
    void encodings_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QString sheet = QStringLiteral("\"月見ヶ丘, 東口\",1,180\r\n\"駅前\"\"南\"\"\",2,210,180,,,\r\n～－,3,0,-1,32767\n");
        QTest::newRow("utf-8") << sheet.toUtf8();
        QTest::newRow("utf-8 bom") << QByteArray("\xEF\xBB\xBF") + sheet.toUtf8();
        QTest::newRow("cp932") << cp932::encode(sheet);
    }
    void encodings()
    {
        QFETCH(QByteArray, bytes);
        const auto r = routecsv::readRouteCsv(bytes);
        QCOMPARE(r.size(), 3);
        QCOMPARE(r[0].StopName, QStringLiteral("月見ヶ丘, 東口"));
        QCOMPARE(r[1].StopName, QStringLiteral("駅前\"南\""));
        QCOMPARE(r[1].fare(2), int16_t(180));
        QCOMPARE(r[1].fare(3), int16_t(0));
        QCOMPARE(r[2].StopName, QStringLiteral("～－"));
        QCOMPARE(r[2].fare(2), int16_t(-1));
        QCOMPARE(r[2].fare(3), int16_t(32767));
        // Written back in either encoding, it reads the same.
        for (auto enc : {routecsv::Encoding::Utf8Bom, routecsv::Encoding::Cp932})
            QCOMPARE(fare::writeFareFile(routecsv::readRouteCsv(routecsv::writeRouteCsv(r, enc))),
                     fare::writeFareFile(r));
    }

    void badInput_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("place");
        const QByteArray ok("駅前,1,180\n");
        QTest::newRow("fare too big") << ok + "本町,2,200,32768\n" << 6 << "line 2, column 4 (D)";
        QTest::newRow("fare too small") << ok + "\n本町,2,-32769\n" << 6 << "line 3, column 3 (C)";
        QTest::newRow("not whole") << ok + "本町,2,12.5\n" << 13 << "line 2, column 3 (C)";
        QTest::newRow("ticket word") << ok + "本町,二,180\n" << 13 << "line 2, column 2 (B)";
        QTest::newRow("name cp932 lacks") << ok + "\"한강\",2,180\n" << 5 << "line 2, column 1 (A)";
        QTest::newRow("quote left open") << ok + "本町,2,180\n\"北浜,3\n" << 62 << "line 3, column 1 (A)";
        QTest::newRow("no stop") << QByteArray(",,,\r\n\r\n") << 62 << "line 1";
        QByteArray wide = ok + "本町,2";
        for (int c = 1; c <= 151; ++c)
            wide += "," + QByteArray::number(c);
        QTest::newRow("column 151") << wide << 9 << "line 2, column 153 (EW)";
        QByteArray many;
        for (int i = 1; i <= 302; ++i)
            many += "S" + QByteArray::number(i) + "," + QByteArray::number(i) + ",180\n";
        QTest::newRow("302 stops") << many << 9 << "line 302, column 1 (A)";
    }
    void badInput()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, number);
        QFETCH(QString, place);
        const auto [n, text] = errorOf([&] { routecsv::readRouteCsv(bytes); });
        QCOMPARE(n, number);
        QVERIFY2(text.startsWith(place + QLatin1Char(':')) || text.startsWith(place + QLatin1Char(',')), qPrintable(text));
    }

    // The tool itself: an error leaves no file, and an old one as it was.
    void toolWritesNothingOnError()
    {
        QTemporaryDir dir;
        const QString csv = dir.filePath(QStringLiteral("r.csv")), hy3 = dir.filePath(QStringLiteral("r.hy3"));
        QFile f(csv);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("駅前,1,180\n本町,2,200,70000\n");
        f.close();
        const QString tool = QStringLiteral(S4_BIN "/soratobi4-route");
        QProcess p;
        p.start(tool, {QStringLiteral("to-hy3"), csv, hy3});
        QVERIFY(p.waitForFinished());
        QCOMPARE(p.exitCode(), 1);
        QVERIFY(QString::fromUtf8(p.readAllStandardError()).contains(QStringLiteral("line 2, column 4 (D)")));
        QVERIFY(!QFile::exists(hy3));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("r.csv")});

        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("old");
        f.close();
        p.start(tool, {QStringLiteral("to-csv"), csv, hy3}); // "old" is no route file
        QVERIFY(p.waitForFinished());
        QCOMPARE(p.exitCode(), 1);
        QVERIFY(!QFile::exists(hy3));
        p.start(tool, {QStringLiteral("--help")});
        QVERIFY(p.waitForFinished());
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(p.readAllStandardOutput().contains("to-hy3"));
    }

    void demoAnnouncementList()
    {
        const routecsv::TapeCheck c = routecsv::checkTapeCsv(bytesOf(demoSource("12tp.csv")));
        QCOMPARE(c.warnings, QStringList());
        QCOMPARE(c.entries.size(), 20); // one a stop
        const auto stops = routecsv::readRouteCsv(bytesOf(demoSource("route12.csv")));
        for (int i = 1; i < c.entries.size(); ++i) {
            QCOMPARE(c.entries[i].stepFlag, int16_t(1));
            QVERIFY2(c.entries[i].text.contains(stops[i].StopName), qPrintable(c.entries[i].text));
        }
        QCOMPARE(c.entries.first().soundFlag, int16_t(3));
        QCOMPARE(c.entries.last().soundFlag, int16_t(2));
        QVERIFY(c.entries.last().text.contains(QStringLiteral("終点")));
    }

    void announcementCheck_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("sound");
        QTest::addColumn<QString>("warning");
        const QByteArray next = cp932::encode(QStringLiteral("次は、北浜です。"));
        QTest::newRow("plain") << next + ",1,1\r\n" << "次は、北浜です。" << 1 << 1 << "";
        QTest::newRow("quoted comma") << "\"" + next + ",ok\" , 0 , 2\n" << "次は、北浜です。,ok" << 0 << 2 << "";
        QTest::newRow("flags missing") << next << "次は、北浜です。" << 0 << 0 << "";
        QTest::newRow("word flag") << next + ",yes,1\n" << "次は、北浜です。" << 0 << 1 << "line 1, column 2 (B)";
        QTest::newRow("huge flag") << next + ",1,70000\n" << "次は、北浜です。" << 1 << 0 << "line 1, column 3 (C)";
        QTest::newRow("no such sound") << next + ",1,4\n" << "次は、北浜です。" << 1 << 4 << "line 1, column 3 (C)";
        QTest::newRow("utf-8 file") << QStringLiteral("次は、北浜です。,1,1").toUtf8() << "" << 1 << 1 << "line 1: the file is UTF-8";
    }
    void announcementCheck()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QFETCH(int, step);
        QFETCH(int, sound);
        QFETCH(QString, warning);
        const routecsv::TapeCheck c = routecsv::checkTapeCsv(bytes);
        QCOMPARE(c.entries.size(), 1);
        if (!text.isEmpty())
            QCOMPARE(c.entries[0].text, text);
        QCOMPARE(int(c.entries[0].stepFlag), step);
        QCOMPARE(int(c.entries[0].soundFlag), sound);
        QCOMPARE(c.warnings.size(), warning.isEmpty() ? 0 : 1);
        if (!warning.isEmpty())
            QVERIFY2(c.warnings[0].startsWith(warning), qPrintable(c.warnings[0]));
    }

    // A list written in UTF-8 comes out as the program reads it.
    void announcementListConverted_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error"); // the start of the message, or empty
        const QString list = QStringLiteral("次は、北浜〜です。,1,1\n\"終点, 空見台です。\",0,2\n");
        QTest::newRow("UTF-8 with BOM") << "\xEF\xBB\xBF" + list.toUtf8() << "";
        QTest::newRow("UTF-8, CRLF") << QString(list).replace(QStringLiteral("\n"), QStringLiteral("\r\n")).toUtf8() << "";
        QTest::newRow("already code page 932") << cp932::encode(list) << "";
        QTest::newRow("a character it cannot hold") << QStringLiteral("a,1,1\n次は😀です,1,1\n").toUtf8()
                                                    << "line 2, character 3";
    }
    void announcementListConverted()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        if (!error.isEmpty()) {
            const auto [n, text] = errorOf([&] { routecsv::convertTapeCsv(bytes); });
            QCOMPARE(n, 5);
            QVERIFY2(text.startsWith(error), qPrintable(text));
            return;
        }
        const QByteArray out = routecsv::convertTapeCsv(bytes);
        const routecsv::TapeCheck c = routecsv::checkTapeCsv(out);
        QCOMPARE(c.warnings, QStringList());
        QCOMPARE(c.entries.size(), 2);
        QCOMPARE(c.entries[0].text, QStringLiteral("次は、北浜～です。")); // the wave dash code page 932 holds
        QCOMPARE(c.entries[1].text, QStringLiteral("終点, 空見台です。"));
        QCOMPARE(int(c.entries[1].soundFlag), 2);
        QVERIFY(out.endsWith("\r\n") && !out.contains("\r\n\r\n"));
    }

    void announcementQuoteLeftOpen()
    {
        const auto [n, text] = errorOf([] { routecsv::checkTapeCsv("a,1,1\n\"b,1,1\nc,1,1\n"); });
        QCOMPARE(n, 62);
        QVERIFY(text.startsWith(QStringLiteral("line 2:")));
    }
};

QTEST_APPLESS_MAIN(TestRouteCsv)
#include "test_routecsv.moc"
