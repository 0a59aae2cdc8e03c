// The .hy3 reader and the route fare table: every file, however broken,
// gives records or a numbered error, and the table stays within its rows.
#include "core/Cp932.h"
#include "core/VbError.h"
#include "ride/FareData.h"
#include "tests/ErrorOf.h"

#include <QtEndian>
#include <QtTest>

namespace {

void put16(QByteArray &b, int v)
{
    char le[2];
    qToLittleEndian<int16_t>(int16_t(v), le);
    b.append(le, 2);
}

// One record: the name, ticket number n, column c holding n * 1000 + c.
QByteArray record(const QString &name, int n)
{
    QByteArray b;
    const QByteArray bytes = cp932::encode(name);
    put16(b, int(bytes.size()));
    b += bytes;
    put16(b, n);
    for (int c = 1; c <= fare::kColumns; ++c)
        put16(b, (n * 1000 + c) % 32768);
    return b;
}

QByteArray fileOf(int count, int records, const QString &name = QStringLiteral("駅前"))
{
    QByteArray b;
    put16(b, count);
    for (int i = 1; i <= records; ++i)
        b += record(name, i);
    return b;
}

} // namespace

class TestFare : public QObject {
    Q_OBJECT
private slots:
    void reader_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("records");
        QTest::newRow("two stops") << fileOf(2, 2) << 0 << 2 << 2;
        QTest::newRow("nameless stop") << fileOf(1, 1, QString()) << 0 << 1 << 1;
        QTest::newRow("count 0") << fileOf(0, 0) << 0 << 0 << 0;
        QTest::newRow("count -1, no records read") << fileOf(-1, 0) << 0 << -1 << 0;
        QTest::newRow("huge count reads 302 at most") << fileOf(30000, 303) << 0 << 30000 << 302;
        QTest::newRow("empty file") << QByteArray() << 62 << 0 << 0;
        QTest::newRow("half a count") << QByteArray(1, '\x05') << 62 << 0 << 0;
        QTest::newRow("fewer records than counted") << fileOf(3, 2) << 62 << 0 << 0;
        QTest::newRow("cut inside the columns") << fileOf(1, 1).chopped(1) << 62 << 0 << 0;
        QByteArray longName = fileOf(1, 0);
        put16(longName, 0xFFFF); // a name running past the end
        longName += "abc";
        QTest::newRow("name past the end") << longName << 62 << 0 << 0;
    }
    void reader()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, error);
        QFETCH(int, count);
        QFETCH(int, records);
        fare::FareFile f;
        QCOMPARE(errorOf([&] { f = fare::readFareFile(bytes); }), error);
        if (error)
            return;
        QCOMPARE(int(f.DataCount), count);
        QCOMPARE(int(f.records.size()), records);
        if (records) {
            const fare::FareRecord &last = f.records.back();
            QCOMPARE(int(last.SeiriNo), records);
            QCOMPARE(int(last.fare(1)), (records * 1000 + 1) % 32768);
            QCOMPARE(int(last.fare(150)), (records * 1000 + 150) % 32768);
        }
    }

    void fieldsAndText()
    {
        const fare::FareFile f = fare::readFareFile(fileOf(2, 2, QStringLiteral("国際センター～駅前")));
        QCOMPARE(f.records[0].StopName, QStringLiteral("国際センター～駅前"));
        fare::FareTable t;
        t.install(f);
        QCOMPARE(t.loadedRows(), 2);
        QCOMPARE(int(t.row(2).fare(60)), 2060);
        QCOMPARE(t.row(3).StopName, QString());
        QCOMPARE(errorOf([&] { t.row(1).fare(151); }), 9);
    }

    // 302 records: rows 1..301 are stored, then row 302 is refused.
    void moreRowsThanTheTableHolds()
    {
        fare::FareTable t;
        const fare::FareFile f = fare::readFareFile(fileOf(302, 302));
        QCOMPARE(errorOf([&] { t.install(f); }), 9);
        QCOMPARE(t.loadedRows(), 301);
        QCOMPARE(int(t.row(301).SeiriNo), 301);
    }

    void setFareCellBounds()
    {
        fare::FareTable t;
        t.SetFareCell(1, 1, QStringLiteral("始発"));
        t.SetFareCell(1, 2, 7);
        t.SetFareCell(1, 3, -1);
        t.SetFareCell(301, 152, 32767);
        QCOMPARE(t.row(1).StopName, QStringLiteral("始発"));
        QCOMPARE(int(t.row(1).SeiriNo), 7);
        QCOMPARE(int(t.row(1).fare(1)), -1);
        QCOMPARE(int(t.row(301).fare(150)), 32767);
        for (auto [row, column] : {std::pair{0, 1}, {302, 1}, {1, 0}, {1, 153}})
            QCOMPARE(errorOf([&, row = row, column = column] { t.SetFareCell(row, column, 1); }), 9);
        QCOMPARE(errorOf([&] { t.SetFareCell(1, 3, 40000); }), 6);
        QCOMPARE(errorOf([&] { t.SetFareCell(1, 3, QStringLiteral("abc")); }), 13);
        t.ClearFareTable();
        QCOMPARE(int(t.row(301).fare(150)), 0);
        QCOMPARE(t.row(1).StopName, QString());
    }

    void routeKey_data()
    {
        QTest::addColumn<QString>("routeNo");
        QTest::addColumn<QString>("key");
        QTest::newRow("leading zeros") << "00012" << "12";
        QTest::newRow("empty") << "" << "0";
        QTest::newRow("zeros only") << "000" << "0";
        QTest::newRow("five digits") << "99999" << "99999";
        QTest::newRow("numeric prefix") << "12a" << "12";
        QTest::newRow("not a number") << "abc" << "0";
    }
    void routeKey()
    {
        QFETCH(QString, routeNo);
        QFETCH(QString, key);
        QCOMPARE(fare::routeKey(routeNo), key);
    }
};

QTEST_APPLESS_MAIN(TestFare)
#include "test_fare.moc"
