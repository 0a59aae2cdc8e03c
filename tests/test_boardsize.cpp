// The board enlarged: the x2 and x3 windows and full screen show every pixel
// exactly as the panel's own painting enlarged as a whole, a scroll step
// redraws only the strip, and the chosen size is the user's own preference.
#include "core/FileIo.h"
#include "core/IniData.h"
#include "forms/Windows.h"
#include "panel/ChimeiCtl_A/ChimeiCtl_A.h"
#include "panel/Form1.h"
#include "panel/M_Degit/M_Degit.h"
#include "tests/Fixture.h"
#include "windows/BoardView.h"
#include "windows/PanelScreen.h"
#include "windows/PanelSize.h"

#include <QLabel>
#include <QPainter>
#include <QtTest>

namespace {

// The whole panel painted at once into a frame `factor` times its size,
// black outside its round corners: the full-screen picture as first made.
QImage wholeRender(Form1 &panel, int factor)
{
    QImage image(panel.size() * factor, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(factor);
    image.fill(Qt::black);
    {
        QPainter p(&image);
        if (!panel.mask().isEmpty())
            p.setClipRegion(panel.mask());
        panel.render(&p, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
    }
    image.setDevicePixelRatio(1);
    return image;
}

QString firstDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return QStringLiteral("sizes %1x%2 and %3x%4").arg(a.width()).arg(a.height()).arg(b.width()).arg(b.height());
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                return QStringLiteral("at %1,%2: %3 and %4").arg(x).arg(y).arg(a.pixel(x, y), 8, 16).arg(b.pixel(x, y), 8, 16);
    return {};
}

// Records the rectangles a widget paints.
struct PaintLog : QObject {
    QRegion painted;
    int paints = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint) {
            painted += static_cast<QPaintEvent *>(e)->region();
            ++paints;
        }
        return false;
    }
};

} // namespace

class TestBoardSize : public QObject {
    Q_OBJECT
    fixture::Windows m_w;
    int64_t m_clock = 0;

    Form1 &shownPanel()
    {
        Form1 &panel = windows::Form1();
        panel.move(40, 30);
        panel.show();
        if (!QTest::qWaitForWindowExposed(&panel))
            qFatal("the panel never showed");
        return panel;
    }

    // A long name on the test's clock, resting for 100 ms, then 20/200 px per ms.
    ChimeiCtl_A &scrolling(Form1 &panel)
    {
        ChimeiCtl_A &strip = *panel.ChimeiCtl();
        m_clock = 0;
        strip.setClock([this] { return m_clock; });
        strip.setScrollStartWait(100);
        strip.setSpeed(20);
        strip.SetChimei(QStringLiteral("国際センター駅前（北口）行き"));
        return strip;
    }

    BoardView *enlarged(const QString &how)
    {
        if (how == u"full screen") {
            if (!panelscreen::show(1))
                return nullptr;
            return static_cast<BoardView *>(panelscreen::view());
        }
        panelsize::set(how.mid(1).toInt());
        return static_cast<BoardView *>(panelsize::view());
    }

private slots:
    void init() { m_w.begin(); }
    void cleanup()
    {
        panelscreen::restore();
        m_w.end();
    }

    // In each state the view's picture is the panel enlarged as a whole,
    // pixel for pixel: resting, at several scroll steps, after a fare and a
    // label change and across the end of a run.
    void enlargedIsTheWholeRender_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("factor");
        QTest::newRow("window x2") << "x2" << 2;
        QTest::newRow("window x3") << "x3" << 3;
        QTest::newRow("full screen 3840x2160") << "full screen" << 5;
    }
    void enlargedIsTheWholeRender()
    {
        QFETCH(QString, how);
        QFETCH(int, factor);
        if (QGuiApplication::screens().size() != 2)
            QSKIP("needs the offscreen configuration with a 3840x2160 screen");
        Form1 &panel = shownPanel();
        for (int i = 1; i <= 14; ++i)
            panel.Degit(i)->setValue(170 + 10 * i);
        ChimeiCtl_A &strip = scrolling(panel);
        BoardView *view = enlarged(how);
        QVERIFY(view);
        QVERIFY(QTest::qWaitForWindowExposed(view));
        QCOMPARE(view->factor(), factor);
        const auto check = [&](const char *when) {
            QCoreApplication::processEvents();
            const QImage shown = view->grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
            const QImage frame = shown.copy(QRect(view->boardOrigin(), panel.size() * factor));
            const QString diff = firstDifference(frame, wholeRender(panel, factor));
            if (!diff.isEmpty())
                QFAIL(qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(when), diff)));
        };
        check("at rest");
        for (int64_t t : {150, 160, 400, 1234, 2000}) {
            m_clock = t;
            strip.advanceScroll();
            check("scrolling");
        }
        panel.Degit(3)->setValue(990);
        panel.lblSeiriNum(7)->setText(QStringLiteral("７７"));
        panel.setSeiriNumColor(0x0000ff);
        m_clock = 2100;
        strip.advanceScroll();
        check("a fare and a label changed");
        m_clock = 9000; // past the end of a run: resting at the top again
        strip.advanceScroll();
        check("a new run");
        strip.SetChimei(QStringLiteral("市役所前"));
        check("a short name");
    }

    // A scroll step repaints the strip's inner area of the view and draws
    // nothing of the board anew.
    void scrollStepRedrawsOnlyTheStrip()
    {
        Form1 &panel = shownPanel();
        ChimeiCtl_A &strip = scrolling(panel);
        BoardView *view = enlarged(QStringLiteral("x3"));
        QVERIFY(view);
        QVERIFY(QTest::qWaitForWindowExposed(view));
        m_clock = 150;
        strip.advanceScroll();
        QTRY_VERIFY(view->renders() > 0 && !view->grab().isNull());
        QCoreApplication::processEvents();
        const int renders = view->renders();
        PaintLog log;
        view->installEventFilter(&log);
        const QRect inner = strip.innerRect().translated(strip.pos());
        for (int64_t t : {160, 170, 180}) {
            const int before = log.paints;
            m_clock = t;
            strip.advanceScroll();
            QTRY_VERIFY(log.paints > before);
        }
        QCOMPARE(view->renders(), renders);
        QVERIFY(!log.painted.isEmpty());
        QVERIFY(QRect(inner.topLeft() * 3, inner.size() * 3).contains(log.painted.boundingRect()));
    }

    // x1 is the panel's own window; x2 and x3 a view over it at its top-left,
    // round like it, moving with it, and the choice is kept in panel.conf.
    void windowSizes_data()
    {
        QTest::addColumn<int>("factor");
        QTest::newRow("x1") << 1;
        QTest::newRow("x2") << 2;
        QTest::newRow("x3") << 3;
    }
    void windowSizes()
    {
        QFETCH(int, factor);
        Form1 &panel = shownPanel();
        panel.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&panel));
        QTest::keyClick(&panel, Qt::Key(Qt::Key_0 + factor), Qt::ControlModifier);
        QCOMPARE(panelsize::size(), factor);
        QCOMPARE(fileio::readRegular(panelsize::settingsFile(), 100).bytes, QStringLiteral("size=%1\n").arg(factor).toUtf8());
        auto *view = static_cast<BoardView *>(panelsize::view());
        if (factor == 1) {
            QVERIFY(!view);
            return;
        }
        QVERIFY(view);
        QVERIFY(view->isVisible());
        QCOMPARE(view->geometry(), QRect(QPoint(40, 30), panel.size() * factor));
        const QRegion shape = view->mask();
        QVERIFY(!shape.contains(QPoint(0, 0)) && shape.contains(QPoint(6 * factor, 6 * factor)));
        QVERIFY(!shape.contains(QPoint(view->width() - 1, view->height() - 1)));
        // Dragged by the board's face, not by a cell; the panel beneath keeps
        // the place, so the settings keep the x1 window's meaning.
        const auto drag = [view](QPoint from) {
            const QPoint global = view->mapToGlobal(from);
            QMouseEvent press(QEvent::MouseButtonPress, from, global, Qt::LeftButton, Qt::LeftButton, {});
            QApplication::sendEvent(view, &press);
            QMouseEvent move(QEvent::MouseMove, from, global + QPoint(260, 170), Qt::NoButton, Qt::LeftButton, {});
            QApplication::sendEvent(view, &move);
            QMouseEvent release(QEvent::MouseButtonRelease, from, global, Qt::LeftButton, Qt::NoButton, {});
            QApplication::sendEvent(view, &release);
        };
        drag(panel.Degit(5)->geometry().center() * factor);
        QCOMPARE(view->pos(), QPoint(40, 30));
        drag(QPoint(5, 150) * factor);
        QCOMPARE(view->pos(), QPoint(300, 200));
        QCOMPARE(panel.pos(), QPoint(300, 200));
        IniData d;
        panel.GetFormInfo(d);
        QCOMPARE(d.PanelLeft, 300 * 15);
        QCOMPARE(d.PanelTop, 200 * 15);
        panel.move(10, 20);
        QCOMPARE(view->pos(), QPoint(10, 20));
        // A double-click on a cell is the cell's (one that opens no dialog here).
        panel.Degit(12)->setUserSet(false);
        QSignalSpy clicked(panel.Degit(12), &M_Degit::DblClick);
        const QPoint cell = panel.Degit(12)->geometry().center() * factor;
        QTest::mouseDClick(view, Qt::LeftButton, {}, cell);
        QCOMPARE(clicked.size(), 1);
        // Full screen hides it; leaving brings it back.
        QVERIFY(panelscreen::show(0));
        QVERIFY(!panelsize::view());
        panelscreen::restore();
        QVERIFY(panelsize::view());
        QCOMPARE(panelsize::view()->pos(), QPoint(10, 20));
        // The next start shows the size chosen.
        windows::unloadAll();
        shownPanel();
        QCOMPARE(panelsize::size(), factor);
        QTRY_VERIFY(panelsize::view() && panelsize::view()->isVisible());
    }

    void preferenceFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("factor");
        QTest::newRow("two") << QByteArray("size=2\n") << 2;
        QTest::newRow("three, spaces, CRLF") << QByteArray("other=1\r\nsize= 3 \r\n") << 3;
        QTest::newRow("four is no size") << QByteArray("size=4\n") << 1;
        QTest::newRow("zero") << QByteArray("size=0") << 1;
        QTest::newRow("not a number") << QByteArray("size=x2") << 1;
        QTest::newRow("empty") << QByteArray() << 1;
        QTest::newRow("binary") << QByteArray("\0\xff\xfe size", 9) << 1;
    }
    void preferenceFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, factor);
        QCOMPARE(panelsize::parse(bytes), factor);
        QVERIFY(!panelsize::set(0));
        QVERIFY(!panelsize::set(4));
    }
};

QTEST_MAIN(TestBoardSize)
#include "test_boardsize.moc"
