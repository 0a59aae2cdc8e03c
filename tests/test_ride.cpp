// The ride without a window: the checks of a route load in their order,
// the bounds of stepping, the night fare, the display clear, the
// information digits, and the signals, each once and in order.
#include "ride/Ride.h"
#include "tests/FixtureCore.h"

#include <QTemporaryDir>
#include <QtTest>

using ride::Cell;
using ride::Ride;

namespace {

QVariant shown(const Ride &r, int k) { return r.cell(k).kind == Cell::Kind::Value ? r.cell(k).value : QVariant(); }

} // namespace

class TestRide : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString folder() const { return m_dir.path() + u'/'; }

    // A ride on route 12 of `count` stops, loaded at section 1 and shown.
    void loaded(Ride &r, int count = 5)
    {
        QVERIFY(fixture::put(folder() + QStringLiteral("12.hy3"), fixture::route(count)));
        QVERIFY(r.load(QStringLiteral("00012"), QStringLiteral("1"), folder()).ok);
        r.finishLoad(QStringLiteral("01-02-2026"));
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // Each check in its place: the file, the count, the section, the records.
    void loadChecks_data()
    {
        QTest::addColumn<QByteArray>("file"); // empty: no file
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("message"); // empty: loaded
        QTest::addColumn<int>("start");
        const QString none = QStringLiteral("指定した系統のデータがありません...");
        const QString zero = QStringLiteral("指定した系統はデータの数が0(未登録)の可能性があります...");
        const QString beyond = QStringLiteral("指定した区間はデータの数よりも多いです...\r\n  解決法：正しい区間を入力して下さい.");
        const QByteArray five = fixture::route(5);
        QTest::newRow("no file") << QByteArray() << "1" << none << 1;
        QTest::newRow("count 0") << fixture::declaring(0, five) << "9" << zero << 9;
        QTest::newRow("count -1 is a section too far") << fixture::declaring(-1, five) << "1" << beyond << 1;
        QTest::newRow("section 4 of 5") << five << "4" << QString() << 4;
        QTest::newRow("section 5 of 5") << five << "5" << beyond << 5;
        QTest::newRow("section 000 is 1") << five << "000" << QString() << 1;
        QTest::newRow("section 999 is 300") << five << "999" << beyond << 300;
        // The section is judged before the records: a cut file names it.
        QTest::newRow("cut file, section too far") << fixture::declaring(9, five) << "9" << beyond << 9;
        QTest::newRow("cut file") << fixture::declaring(9, five) << "1" << "*" << 1;
    }
    void loadChecks()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, section);
        QFETCH(QString, message);
        QFETCH(int, start);
        Ride r;
        loaded(r, 3);
        r.step(true);
        const QString path = folder() + QStringLiteral("7.hy3");
        QFile::remove(path);
        if (!file.isEmpty())
            QVERIFY(fixture::put(path, file));
        QList<QPair<QString, int>> told;
        connect(&r, &Ride::positionChanged, this, [&](const QString &route, int row) { told.append({route, row}); });
        const fare::RouteState before = r.route();
        const ride::LoadResult result = r.load(QStringLiteral("007"), section, folder());
        QCOMPARE(int(r.route().StartSection), message.isEmpty() ? start : int(before.StartSection));
        QCOMPARE(r.route().RouteNo, message.isEmpty() ? QStringLiteral("007") : before.RouteNo);
        if (message.isEmpty()) {
            QVERIFY(result.ok);
            QVERIFY(told.isEmpty()); // told once its first stop is shown
            QCOMPARE(r.stopName(), QStringLiteral("系統設定"));
            QCOMPARE(r.cell(60).kind, Cell::Kind::Lit);
            r.finishLoad(QString());
            QCOMPARE(r.row(), start);
            QCOMPARE(shown(r, 1), QVariant(start == 1 ? 10 * start + 1 : 0)); // below the section: the lamp test's 0
            QCOMPARE(r.stopName(), QStringLiteral("停留所%1").arg(start));
        } else {
            QVERIFY(!result.ok);
            if (message != u"*")
                QCOMPARE(result.message, message);
            QVERIFY(!result.message.isEmpty());
            // The table, the board and the route are the previous route's whole.
            QCOMPARE(r.route().DataCount, before.DataCount);
            QCOMPARE(r.route().CurIndex, before.CurIndex);
            QCOMPARE(r.row(), 2);
            QCOMPARE(r.table().loadedRows(), 3);
            QCOMPARE(r.stopName(), QStringLiteral("停留所2"));
        }
        if (message.isEmpty())
            QCOMPARE(told, (QList<QPair<QString, int>>{{QStringLiteral("007"), start}}));
        else
            QCOMPARE(told, (QList<QPair<QString, int>>{})); // nothing moved
    }

    // Over either end nothing happens; each step is told once, the sound's
    // moment before the board shows the stop, the position after it.
    void steppingOverTheEnds()
    {
        Ride r;
        loaded(r, 3);
        QStringList order;
        connect(&r, &Ride::stepped, this, [&](int row) { order << QStringLiteral("stepped %1").arg(row); });
        connect(&r, &Ride::boardChanged, this, [&](const ride::BoardChange &c) {
            order << QStringLiteral("board %1").arg(c.cells.size());
        });
        connect(&r, &Ride::positionChanged, this, [&](const QString &, int row) { order << QStringLiteral("row %1").arg(row); });
        QVERIFY(!r.step(false));
        QVERIFY(r.step(true));
        QVERIFY(r.step(true));
        QVERIFY(!r.step(true));
        QVERIFY(!r.announce(true, 1)); // a linked line at the last stop
        QVERIFY(!r.announce(false, 0));
        QVERIFY(r.announce(false, 1));
        QCOMPARE(order, (QStringList{"stepped 2", "board 60", "row 2", "stepped 3", "board 60", "row 3", "stepped 2",
                                     "board 60", "row 2"}));
        QCOMPARE(shown(r, 60), QVariant(80));
    }

    // A later file that declares more stops than it holds is refused whole:
    // the ride keeps its count and never steps past the rows loaded.
    void rejectedCountNeverWidensTheRide()
    {
        Ride r;
        loaded(r, 3);
        QVERIFY(fixture::put(folder() + QStringLiteral("12.hy3"), fixture::declaring(200, fixture::route(3))));
        QVERIFY(!r.load(QStringLiteral("12"), QStringLiteral("150"), folder()).ok);
        QCOMPARE(int(r.route().DataCount), 3);
        QVERIFY(r.step(true));
        QVERIFY(r.step(true));
        QVERIFY(!r.step(true));
    }

    void nightFareAndClear()
    {
        Ride r;
        QVERIFY(fixture::put(folder() + QStringLiteral("12.hy3"),
                             fixture::route(3, [](int stop, int c) { return c == 6 ? -1 : 100 * stop + c; })));
        QVERIFY(r.load(QStringLiteral("12"), QStringLiteral("5"), folder()).ok == false); // 3 stops reach section 2
        QVERIFY(r.load(QStringLiteral("12"), QStringLiteral("2"), folder()).ok);
        r.finishLoad(QString());
        QCOMPARE(shown(r, 7), QVariant(207));
        r.setNight(true);
        QCOMPARE(shown(r, 7), QVariant(207)); // at the next redisplay
        r.show(2);
        QCOMPARE(shown(r, 7), QVariant(414));
        QCOMPARE(shown(r, 6), QVariant(-1)); // never doubled
        QCOMPARE(shown(r, 1), QVariant(0));

        int cleared = 0;
        connect(&r, &Ride::clearedChanged, this, [&] { ++cleared; });
        r.setCleared(true);
        r.setCleared(true);
        QCOMPARE(cleared, 1);
        QCOMPARE(r.cell(1).kind, Cell::Kind::Blank);
        QCOMPARE(r.stopName(), QString());
        r.setCleared(false);
        QCOMPARE(cleared, 2);
        QCOMPARE(r.cell(1).kind, Cell::Kind::Blank); // below the section: not rewritten
        QCOMPARE(shown(r, 7), QVariant(414));
        QCOMPARE(r.stopName(), QStringLiteral("停留所2"));
    }

    // Over the fares, in their order: a later one wins, slot 0 writes nothing.
    void informationDigits()
    {
        Ride r;
        loaded(r, 3);
        ride::InfoDigits info;
        info.stopOrderSlot = 1;
        info.stopOrderFromZero = true;
        info.seiriNumSlot = 2;
        info.keitoNumSlot = 2;
        info.columnSlot = 3;
        info.column = 150;
        r.setInfoDigits([&info] { return info; });
        r.show(1);
        QCOMPARE(shown(r, 1), QVariant(0));
        QCOMPARE(shown(r, 2), QVariant(QStringLiteral("00012"))); // as entered
        QCOMPARE(shown(r, 3), QVariant(160));
        info = {};
        info.column = 4; // no slot chosen
        r.show(1);
        QCOMPARE(shown(r, 1), QVariant(11));
        QCOMPARE(shown(r, 2), QVariant(12));
    }
};

QTEST_APPLESS_MAIN(TestRide)
#include "test_ride.moc"
