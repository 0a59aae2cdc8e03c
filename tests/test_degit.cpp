// The fare cell: what it lights for each zero mode, fill and shift, checked on
// the pixels of its segments, and the limits of its properties.
#include "assets/AssetFonts.h"
#include "panel/M_Degit/M_Degit.h"
#include "platform/Fonts.h"

#include <QFontDatabase>
#include <QtTest>
#include <functional>

namespace {

const QColor kLit(248, 210, 114);
const QColor kUnlit(150, 150, 150);
const QColor kBack(128, 128, 128);

// Pixel inside each segment of digit position `pos` at the smallest size class
// (13 x 20 pixels a position, face M_DegitA).
QPoint segmentPixel(int pos, char seg)
{
    int x = 0, y = 0;
    switch (seg) {
    case 'a': x = 6; y = 1; break;
    case 'g': x = 6; y = 9; break;
    case 'd': x = 6; y = 17; break;
    case 'f': x = 2; y = 5; break;
    case 'e': x = 2; y = 13; break;
    case 'b': x = 10; y = 5; break;
    case 'c': x = 10; y = 13; break;
    }
    return {13 * pos + x, y};
}

const char *digitSegments(QChar c)
{
    switch (c.unicode()) {
    case '0': return "abcdef"; case '1': return "bc"; case '2': return "abdeg"; case '3': return "abcdg";
    case '4': return "bcfg"; case '5': return "acdfg"; case '6': return "acdefg"; case '7': return "abc";
    case '8': return "abcdefg"; case '9': return "abcdfg"; case '-': return "g";
    default: return "";
    }
}

// Compares every segment of every position with the expected row, where a
// space means "nothing lit there".
void expectLit(M_Degit &d, const QString &row)
{
    const QImage img = d.grab().toImage();
    QCOMPARE(row.size(), int(d.Keta()));
    for (int pos = 0; pos < row.size(); ++pos) {
        const QByteArray lit = digitSegments(row[pos]);
        for (char seg : QByteArray("abcdefg")) {
            const QColor want = lit.contains(seg) ? kLit : kUnlit;
            const QColor got = img.pixelColor(segmentPixel(pos, seg));
            QVERIFY2(got == want, qPrintable(QStringLiteral("row '%1' position %2 segment %3: got %4")
                                                 .arg(row).arg(pos).arg(QLatin1Char(seg)).arg(got.name())));
        }
    }
}

} // namespace

class TestDegit : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        platform::installFontSubstitutions();
        QVERIFY(assets::registerDigitFonts());
    }

    void defaultsAndSize()
    {
        M_Degit d;
        d.InitProperties();
        QCOMPARE(d.size(), QSize(52, 20));
        QCOMPARE(d.BaseForeColor(), 9868950u);
        QCOMPARE(d.DegitForeColor(), 7525112u);
        QCOMPARE(d.BackColor(), 8421504u);
        QVERIFY(d.UserSet());
        // The default value 0 under zero mode 0 lights nothing.
        expectLit(d, QStringLiteral("    "));
        // The background between segments is the cell's own colour.
        QCOMPARE(d.grab().toImage().pixelColor(6, 5), kBack);
    }

    void valueIsRightAligned()
    {
        M_Degit d;
        d.InitProperties();
        d.setValue(120);
        expectLit(d, QStringLiteral(" 120"));
        QCOMPARE(d.accessibleDescription(), QStringLiteral("120"));
        d.setKeta(2);
        d.setValue(345);
        QCOMPARE(d.width(), 26);
        expectLit(d, QStringLiteral("45"));
    }

    void zeroModes_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("row");
        const QVariant zero = 0, minusOne = -1, empty = QString();
        QTest::newRow("0: zero") << 0 << zero << "    ";
        QTest::newRow("1: zero") << 1 << zero << "   0";
        QTest::newRow("2: zero") << 2 << zero << "    ";
        QTest::newRow("3: zero") << 3 << zero << "   0";
        QTest::newRow("0: -1") << 0 << minusOne << "  -1";
        QTest::newRow("1: -1") << 1 << minusOne << "  -1";
        QTest::newRow("2: -1") << 2 << minusOne << "   0";
        QTest::newRow("3: -1") << 3 << minusOne << "   0";
        QTest::newRow("0: empty") << 0 << empty << "    ";
        QTest::newRow("1: empty") << 1 << empty << "   0";
        QTest::newRow("2: empty") << 2 << empty << "    ";
        QTest::newRow("3: empty") << 3 << empty << "   0";
        QTest::newRow("-2 matches no mode") << -2 << zero << "   0";
    }

    void zeroModes()
    {
        QFETCH(int, mode);
        QFETCH(QVariant, value);
        QFETCH(QString, row);
        M_Degit d;
        d.InitProperties();
        d.setZeroMode(int16_t(mode));
        QCOMPARE(int(d.ZeroMode()), mode);
        d.setValue(value);
        expectLit(d, row);
    }

    void fillAndShift()
    {
        M_Degit d;
        d.InitProperties();
        d.setFillZero(4);
        d.setValue(25);
        expectLit(d, QStringLiteral("0025"));
        d.setFillZero(6);
        QCOMPARE(int(d.FillZero()), 4);

        d.setFillZero(0);
        d.setShift(1);
        d.setValue(120);
        expectLit(d, QStringLiteral("120 "));
        d.setShift(9);
        QCOMPARE(int(d.Shift()), 3);
        d.setShift(-3);
        QCOMPARE(int(d.Shift()), 0);
    }

    void settingsWaitForTheNextRedraw()
    {
        M_Degit d;
        d.InitProperties();
        d.setValue(25);
        d.setFillZero(3);
        expectLit(d, QStringLiteral("  25"));
        d.setValue(d.Value());
        expectLit(d, QStringLiteral(" 025"));
    }

    void lampTestKeepsTheSettings()
    {
        M_Degit d;
        d.InitProperties();
        d.setZeroMode(2);
        d.setShift(2);
        d.setFillZero(3);
        d.ResetDegit(true);
        expectLit(d, QStringLiteral("8888"));
        QCOMPARE(int(d.ZeroMode()), 2);
        QCOMPARE(int(d.Shift()), 2);
        QCOMPARE(int(d.FillZero()), 3);
        d.ResetDegit(false);
        expectLit(d, QStringLiteral("    "));
        QCOMPARE(d.Value().toString(), QString());
    }

    void limitsOfKetaSizeAndMode()
    {
        M_Degit d;
        d.InitProperties();
        for (int16_t bad : {int16_t(0), int16_t(16)}) {
            d.setKeta(3);
            d.setKeta(bad);
            QCOMPARE(int(d.Keta()), 4);
            QCOMPARE(d.width(), 52);
        }
        d.setZeroMode(7);
        QCOMPARE(int(d.ZeroMode()), 0);
        d.setDegitSize(2);
        QCOMPARE(d.size(), QSize(4 * 19, 29));
        d.setDegitSize(9);
        QCOMPARE(int(d.DegitSize()), 0);
        QCOMPARE(d.size(), QSize(52, 20));
    }

    void colourChangesRedrawAtOnce()
    {
        M_Degit d;
        d.InitProperties();
        d.setValue(8);
        d.setDegitForeColor(0x0000FF); // red
        QCOMPARE(d.grab().toImage().pixelColor(segmentPixel(3, 'a')), QColor(255, 0, 0));
        d.setBackColor(0);
        QCOMPARE(d.grab().toImage().pixelColor(6, 5), QColor(0, 0, 0));
    }

    // The panel sets values and colours again on every step and every option
    // apply; only a change of what the cell shows draws it anew, and the
    // picture is then the one a cell set up that way from the start shows.
    void redrawsOnlyWhatChanges_data()
    {
        using Step = std::function<void(M_Degit &)>;
        QTest::addColumn<Step>("step");
        QTest::addColumn<bool>("draws");
        QTest::newRow("the same value") << Step([](M_Degit &d) { d.setValue(120); }) << false;
        QTest::newRow("the same digits as text") << Step([](M_Degit &d) { d.setValue(QStringLiteral("120")); }) << false;
        QTest::newRow("the same colours") << Step([](M_Degit &d) {
            d.setBackColor(d.BackColor()), d.setBaseForeColor(d.BaseForeColor()), d.setDegitForeColor(d.DegitForeColor());
        }) << false;
        QTest::newRow("a style naming the same face") << Step([](M_Degit &d) { d.setDegitStyle(7); }) << false;
        QTest::newRow("the lamp test twice") << Step([](M_Degit &d) { d.ResetDegit(true), d.ResetDegit(true); }) << true;
        QTest::newRow("a new value") << Step([](M_Degit &d) { d.setValue(130); }) << true;
        QTest::newRow("zero fill, seen at the redraw") << Step([](M_Degit &d) { d.setFillZero(4), d.setValue(120); }) << true;
        QTest::newRow("unlit colour, then a value") << Step([](M_Degit &d) {
            d.setBaseForeColor(0x00FF00), d.setValue(7);
        }) << true;
        QTest::newRow("background") << Step([](M_Degit &d) { d.setBackColor(0x202020); }) << true;
        QTest::newRow("lit colour") << Step([](M_Degit &d) { d.setDegitForeColor(0xFF0000); }) << true;
        QTest::newRow("face") << Step([](M_Degit &d) { d.setDegitStyle(2); }) << true;
        QTest::newRow("positions") << Step([](M_Degit &d) { d.setKeta(6); }) << true;
        QTest::newRow("size class") << Step([](M_Degit &d) { d.setDegitSize(1), d.setValue(88); }) << true;
    }
    void redrawsOnlyWhatChanges()
    {
        using Step = std::function<void(M_Degit &)>;
        QFETCH(Step, step);
        QFETCH(bool, draws);
        M_Degit d;
        d.InitProperties();
        d.setValue(120);
        const int before = d.drawings();
        step(d);
        QCOMPARE(d.drawings() > before, draws);

        M_Degit fresh; // the end state, reached in one go
        fresh.ReadProperties([&d] { PropertyBag b; d.WriteProperties(b); return b; }());
        fresh.resize(d.size());
        fresh.ResetDegit(false);
        fresh.setValue(d.Value());
        QCOMPARE(d.surface().toImage(), fresh.surface().toImage());
        QCOMPARE(d.shownText(), fresh.shownText());
    }

    // A cell drawn before a font arrived is drawn again with it.
    void newFontsRedraw()
    {
        M_Degit d;
        d.InitProperties();
        d.setValue(5);
        const int before = d.drawings();
        QFile file(QStringLiteral(":/fonts/M_DegitB.ttf"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const int id = QFontDatabase::addApplicationFontFromData(file.readAll());
        QVERIFY(id >= 0);
        d.setValue(5);
        QCOMPARE(d.drawings(), before + 1);
        QFontDatabase::removeApplicationFont(id);
    }

    void persistenceOmitsDefaultsAndLoadsAsStored()
    {
        M_Degit d;
        d.InitProperties();
        PropertyBag bag;
        d.WriteProperties(bag);
        QVERIFY(bag.values().isEmpty());

        d.setKeta(2);
        d.setValue(QStringLiteral("1"));
        PropertyBag changed;
        d.WriteProperties(changed);
        QCOMPARE(changed.values().keys(), (QStringList{QStringLiteral("Keta"), QStringLiteral("Value")}));

        // Loading takes values as they are: no limits, no resizing, no redraw.
        M_Degit loaded;
        const QImage before = loaded.grab().toImage();
        loaded.ReadProperties(PropertyBag({{QStringLiteral("Keta"), 4}, {QStringLiteral("FillZero"), 9},
                                           {QStringLiteral("ZeroMode"), 7}}));
        QCOMPARE(int(loaded.FillZero()), 9);
        QCOMPARE(int(loaded.ZeroMode()), 7);
        QCOMPARE(loaded.grab().toImage(), before);
    }
};

QTEST_MAIN(TestDegit)
#include "test_degit.moc"
