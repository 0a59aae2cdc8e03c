// The stop-name strip, checked pixel by pixel through its strip image, and
// its scroll driven by a hand-turned clock.
#include "panel/ChimeiCtl_A/ChimeiCtl_A.h"
#include "panel/ChimeiCtl_A/ChimeiLayout.h"
#include "platform/Fonts.h"
#include "platform/Units.h"

#include <QPainter>
#include <QSignalSpy>
#include <QtTest>
#include <limits>
#include <memory>

namespace {

using Draws = QList<std::tuple<int, int, QString>>; // x, y, unit
const QString kLong = QStringLiteral("国際センター駅前"); // 8 units, strip 256 high
const QRgb kFore = qRgb(255, 190, 0);

QImage shown(const QString &name, int16_t mode = 0, int16_t fontMode = 0, bool bold = false)
{
    ChimeiCtl_A c;
    c.setMode(mode), c.setFontMode(fontMode), c.setFontBold(bold);
    c.SetChimei(name);
    return c.stripImage();
}

// A 16 x 16 cell as text, '#' for a lit dot, so that failures show the shapes.
QString grid(const QImage &img, QPoint origin, int pitch, QRgb lit)
{
    QString s;
    for (int r = 0; r < 16; ++r, s += '\n')
        for (int c = 0; c < 16; ++c)
            s += img.pixel(origin + QPoint(c, r) * pitch) == lit ? '#' : '.';
    return s;
}

QString cellOf(const QImage &strip, int top) { return grid(strip, {2, top}, 2, kFore); }

// A character rendered directly in one face, for comparison.
QString rendered(const QString &ch, const char *family, int dx = 0, bool bold = false)
{
    QImage img(16, 16, QImage::Format_RGB32);
    img.fill(Qt::white);
    QFont f(QString::fromLatin1(family));
    f.setPixelSize(16);
    f.setStyleStrategy(QFont::NoAntialias);
    QPainter p(&img);
    p.setFont(f);
    for (int b = 0; b <= int(bold); ++b)
        p.drawText(QRect(dx + b, 0, 16, 16), Qt::AlignLeft | Qt::AlignTop, ch);
    p.end();
    return grid(img, {0, 0}, 1, qRgb(0, 0, 0));
}

QList<QPoint> litIn(const QString &cell, QRect *box)
{
    QList<QPoint> pts;
    for (int i = 0; i < cell.size(); ++i)
        if (cell[i] == '#')
            pts.append(QPoint(i % 17, i / 17)), *box |= QRect(pts.last(), QSize(1, 1));
    return pts;
}

int countOf(const QImage &img, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += img.pixel(x, y) == colour;
    return n;
}

} // namespace

class TestChimei : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { platform::installFontSubstitutions(); }

    // Each name must equal its units drawn one by one where the layout puts them.
    void layout_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("mode");
        QTest::addColumn<Draws>("draws");
        const auto tops = [](const char *tag, const char *name, int mode, QList<int> ys) {
            Draws d;
            for (int i = 0; i < ys.size(); ++i)
                d.append({2, ys[i], QString::fromUtf8(name).mid(i, 1)});
            QTest::newRow(tag) << QString::fromUtf8(name) << mode << d;
        };
        tops("k1", "駅", 0, {80});
        tops("k2 wide", "駅前", 0, {32, 128});
        tops("k2 close", "駅前", 2, {48, 112});
        tops("k3", "市役所", 2, {16, 80, 144});
        tops("k4", "市役所前", 0, {8, 56, 104, 152});
        tops("k5", "東京駅北口", 0, {4, 42, 80, 118, 156});
        tops("k6", "東京駅八重洲", 0, {0, 32, 64, 96, 128, 160});
        tops("k7 scrolls", "東京駅八重洲口", 0, {0, 32, 64, 96, 128, 160, 192});
        QTest::newRow("lone half-width at 0") << "A" << 0 << Draws{{2, 0, "A"}};
        QTest::newRow("pair shares a cell") << "AB" << 0 << Draws{{2, 80, "A"}, {18, 80, "B"}};
        QTest::newRow("third over the first two") << "ABC" << 0 << Draws{{2, 80, "AB"}, {2, 80, "C"}};
        // 41 | 89 77 | 91 4F: both kanji are cut; only "A" and the stray trail byte 'w' show.
        QTest::newRow("split full-width") << "A駅前" << 0 << Draws{{2, 32, "A"}, {2, 128, "w"}};
    }
    void layout()
    {
        QFETCH(QString, name);
        QFETCH(int, mode);
        QFETCH(Draws, draws);
        ChimeiCtl_A c;
        c.setMode(int16_t(mode));
        c.SetChimei(name);
        ChimeiCtl_A ref;
        if (draws.size() >= 7) // a long name's strip, still blank
            ref.SetChimei(QString(draws.size(), QChar(0x3000)));
        for (const auto &[x, y, unit] : draws)
            ref.DrawDot16(x, y, unit);
        QCOMPARE(c.stripImage(), ref.stripImage());
        QCOMPARE(c.isScrolling(), draws.size() >= 7);
        QCOMPARE(c.accessibleDescription(), name);
    }

    // Any count, however far outside what a name can have, gives a layout
    // whose strip is a drawable image: no overflow, no empty strip.
    void layoutIsTotal_data()
    {
        QTest::addColumn<qint64>("k");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("scrolls");
        QTest::newRow("most negative") << std::numeric_limits<qint64>::min() << chimei::kStillHeight << false;
        QTest::newRow("minus one") << qint64(-1) << chimei::kStillHeight << false;
        QTest::newRow("seven") << qint64(7) << 7 * chimei::kUnitPixels << true;
        QTest::newRow("largest") << std::numeric_limits<qint64>::max() << (1 << 20) * chimei::kUnitPixels << true;
    }
    void layoutIsTotal()
    {
        QFETCH(qint64, k);
        QFETCH(int, height);
        QFETCH(bool, scrolls);
        for (int mode : {0, 2}) {
            const chimei::Layout l = chimei::layoutFor(k, mode);
            QCOMPARE(l.height, height);
            QCOMPARE(l.scrolls, scrolls);
            QVERIFY(l.top >= 0 && l.step >= 0);
        }
    }

    void verticalShapes()
    {
        const QImage s = shown(QStringLiteral("ー（→。")); // tops 8, 56, 104, 152
        QRect bar, pb, ab, stop;
        litIn(cellOf(s, 8), &bar);
        QVERIFY2(bar.height() >= 10 && bar.width() <= 2, "the long-vowel mark stands upright");
        // "（" opens downwards: its ends hang below its middle.
        for (const QPoint &p : litIn(cellOf(s, 56), &pb))
            QVERIFY(p.y() > pb.top() || (p.x() != pb.left() && p.x() != pb.right()));
        QVERIFY(pb.width() > pb.height());
        // "→" points down: one dot at the top, the wide head near the bottom.
        const QList<QPoint> arrow = litIn(cellOf(s, 104), &ab);
        const auto dotsInRow = [&arrow](int y) { return std::count_if(arrow.begin(), arrow.end(), [y](QPoint p) { return p.y() == y; }); };
        QVERIFY(ab.height() > ab.width() && dotsInRow(ab.top()) == 1 && dotsInRow(ab.bottom() - 2) >= 3);
        litIn(cellOf(s, 152), &stop);
        QVERIFY2(stop.center().x() > 8 && stop.center().y() < 8, "the full stop sits upper right");
    }

    void dotsAreSinglePixelsOnTheGrid()
    {
        for (const QString &name : {QStringLiteral("ｶﾞｲﾄﾞ"), QStringLiteral("市役所前"), kLong})
            for (const bool bold : {false, true}) {
                const QImage s = shown(name, 0, 0, bold);
                const int lit = countOf(s, kFore);
                QVERIFY(lit > 20);
                QCOMPARE(lit + countOf(s, qRgb(128, 128, 128)), s.width() * s.height()); // crisp
                for (int y = 0; y < s.height(); ++y)
                    for (int x = 0; x < s.width(); ++x)
                        if (s.pixel(x, y) == kFore)
                            QVERIFY2(x >= 2 && x % 2 == 0 && y % 2 == 0, qPrintable(name));
            }
    }

    void cellMatchesDirectRendering_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("fontMode");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("otherFace");
        const auto row = [](const char *tag, const char *ch, int mode, const char *family, const char *printed = nullptr,
                            int dx = 0, bool bold = false) {
            const QString p = QString::fromUtf8(printed ? printed : ch);
            const char *other = qstrcmp(family, "IPAGothic") ? "IPAGothic" : "IPAMincho";
            QTest::newRow(tag) << QString::fromUtf8(ch) << mode << bold << rendered(p, family, dx, bold)
                               << rendered(p, other, dx, bold);
        };
        row("kanji mode 1", "駅", 1, "IPAMincho");
        row("kana mode 2", "あ", 2, "IPAMincho");
        row("letter mode 4", "Ａ", 4, "IPAGothic");
        row("bar is printed as a kanji", "ー", 3, "IPAMincho", "丨");
        row("nudged in mode 0", "申", 0, "IPAGothic", nullptr, 1);
        row("not nudged in mode 1", "山", 1, "IPAMincho");
        row("bold: the glyph twice, a dot apart", "駅", 0, "IPAGothic", nullptr, 0, true);
    }
    void cellMatchesDirectRendering()
    {
        QFETCH(QString, name);
        QFETCH(int, fontMode);
        QFETCH(bool, bold);
        QFETCH(QString, expected);
        QFETCH(QString, otherFace);
        QVERIFY(expected != otherFace); // the two faces really differ here
        QCOMPARE(cellOf(shown(name, 0, int16_t(fontMode), bold), 80), expected);
    }

    void propertiesWaitForTheNextName()
    {
        ChimeiCtl_A c;
        c.SetChimei(QStringLiteral("駅前"));
        const QImage before = c.stripImage();
        c.setFontMode(1), c.setFontBold(true), c.setMode(2), c.setForeColor(platform::rgb(255, 0, 0));
        QCOMPARE(c.stripImage(), before);
        c.SetChimei(QStringLiteral("駅前"));
        QCOMPARE(countOf(c.stripImage(), kFore), 0);
        QVERIFY(countOf(c.stripImage(), qRgb(255, 0, 0)) > 40);

        c.setBackColor(platform::rgb(0, 0, 64)); // erases the dots at once
        QCOMPARE(countOf(c.stripImage(), qRgb(0, 0, 64)), 37 * 192);
        c.setAppearance(0);
        QCOMPARE(c.frameRect().size(), QSize(35, 185));
        QCOMPARE(c.innerRect(), QRect(1, 1, 33, 183));
    }

    void persistence()
    {
        PropertyBag bag;
        ChimeiCtl_A().WriteProperties(bag);
        QVERIFY(bag.values().isEmpty()); // defaults are omitted

        ChimeiCtl_A a;
        a.setBackColor(0x102030), a.setForeColor(0), a.setSpeed(300), a.setScrollStartWait(0);
        a.setMode(2), a.setFontMode(4), a.setFontBold(true);
        a.setAppearance(0);
        a.WriteProperties(bag);
        QCOMPARE(bag.values().size(), 8);

        ChimeiCtl_A b;
        b.ReadProperties(bag);
        PropertyBag again;
        b.WriteProperties(again);
        QCOMPARE(again.values(), bag.values());
        QCOMPARE(b.frameRect().size(), QSize(37, 196)); // loading does not resize
    }

    void scrollPacing()
    {
        int64_t now = 0;
        ChimeiCtl_A c;
        c.setClock([&now] { return now; });
        c.SetChimei(kLong); // Speed 5, wait 1500
        const auto at = [&](int64_t t) { now = t; c.advanceScroll(); return c.stripTop(); };
        QCOMPARE(at(1500), 0);
        const int composed = c.compositions();
        for (int64_t t = 1501; t < 1540; ++t)
            QCOMPARE(at(t), 0); // 39 passes of 1/40 pixel
        QCOMPARE(at(1540), -1);
        QCOMPARE(at(1580), -2);
        QCOMPARE(c.compositions(), composed + 2); // redrawn only on whole pixels

        // A run ends after 256 + 196 pixels, 18080 passes; the name then rests again.
        QCOMPARE(at(1500 + 18079), -451);
        QCOMPARE(at(1500 + 18080), 0);
        QCOMPARE(at(1500 + 18080 + 1500), 0);
        QCOMPARE(at(1500 + 18080 + 1540), -1);
        // Passes missed while the program was busy all count, across runs.
        QCOMPARE(at(1500 + 3 * (18080 + 1500) + 80), -2);
    }

    void scrollSpeedsAndStops()
    {
        int64_t now = 0;
        ChimeiCtl_A c;
        c.setClock([&now] { return now; });
        const auto at = [&](int64_t t) { now = t; c.advanceScroll(); return c.stripTop(); };
        c.setScrollStartWait(100);
        c.setSpeed(0);
        QSignalSpy spy(&c, &ChimeiCtl_A::PropertyChanged);
        c.SetChimei(kLong);
        at(99);
        QCOMPARE(c.Speed(), int16_t(0));
        at(100);
        QVERIFY(c.Speed() == 1 && spy.size() == 1); // raised through its set operation

        c.setSpeed(2000);
        c.SetChimei(kLong); // a new long name starts over at the top
        QCOMPARE(c.stripTop(), 0);
        QCOMPARE(at(201), -10);
        QCOMPARE(at(203), -30);

        c.SetChimei(QString()); // blanks the strip but leaves it moving
        QVERIFY(c.isScrolling() && c.accessibleDescription().isEmpty());
        QCOMPARE(countOf(c.stripImage(), qRgb(128, 128, 128)), 37 * 256);
        QCOMPARE(at(204), -40);

        c.SetChimei(QStringLiteral("駅前")); // ends the scroll at once
        QVERIFY(!c.isScrolling() && c.StopScroll());
        QCOMPARE(c.stripTop(), 0);
        QCOMPARE(at(400), 0);

        c.SetChimei(kLong);
        c.setStopScroll(true);
        QVERIFY(!c.isScrolling());
    }

    void runsFromTheRealTimerAndDiesSafely()
    {
        auto c = std::make_unique<ChimeiCtl_A>();
        c->setScrollStartWait(0);
        c->setSpeed(2000);
        c->show();
        QVERIFY(QTest::qWaitForWindowExposed(c.get()));
        c->SetChimei(kLong);
        QTRY_VERIFY_WITH_TIMEOUT(c->stripTop() < 0, 20'000); // returns as soon as it scrolls
        c.reset(); // destroyed mid-scroll
        QTest::qWait(50);
    }
};

QTEST_MAIN(TestChimei)
#include "test_chimei.moc"
