// The panel window: its layout, shape, dragging, the digit-settings flow and
// the clock tick.
#include "core/KXP4Res.h"
#include "core/VbError.h"
#include "forms/Windows.h"
#include "panel/ChimeiCtl_A/ChimeiCtl_A.h"
#include "panel/Form1.h"
#include "panel/M_Degit/M_Degit.h"
#include "tests/Fixture.h"

#include <QLabel>
#include <QTimer>
#include <QtTest>

class TestPanel : public QObject {
    Q_OBJECT
    fixture::Windows m_w; // the digit faces loaded, or the run ends

private slots:
    void init() { m_w.begin(); }
    void cleanup() { m_w.end(); }

    void layoutMatchesTheBoard()
    {
        Form1 f;
        f.Form_Load();
        QCOMPARE(f.size(), QSize(710, 284));
        QVERIFY(f.windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(f.pos(), QPoint(0, 0));
        // Cells run row by row, ten to a row; each label stands above its cell.
        QCOMPARE(f.Degit(1)->geometry(), QRect(129, 47, 52, 20));
        QCOMPARE(f.Degit(2)->geometry().topLeft(), QPoint(185, 47));
        QCOMPARE(f.Degit(10)->geometry().topLeft(), QPoint(638, 47));
        QCOMPARE(f.Degit(11)->geometry().topLeft(), QPoint(129, 86));
        QCOMPARE(f.Degit(60)->geometry(), QRect(638, 241, 52, 20));
        QCOMPARE(f.lblSeiriNum(1)->geometry(), QRect(129, 30, 52, 16));
        QCOMPARE(f.lblSeiriNum(58)->geometry().topLeft(), QPoint(524, 223));
        for (int i = 1; i <= 60; ++i) {
            QVERIFY(!f.Degit(i)->isHidden());
            QVERIFY(f.lblSeiriNum(i)->geometry().bottom() < f.Degit(i)->geometry().top());
        }
        QVERIFY(f.Degit(0)->isHidden());
        QVERIFY(f.lblSeiriNum(0)->isHidden());
        QCOMPARE(f.lblSeiriNum(1)->text(), QStringLiteral("１"));
        QCOMPARE(f.lblSeiriNum(60)->text(), QStringLiteral("６０"));
        // No backlight button is selected at start: the last state, ON2, colours the row.
        QCOMPARE(f.lblSeiriNum(7)->palette().color(QPalette::WindowText), QColor(0, 192, 0));
        // The clock pair: two positions, hidden, its timer off.
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(int(f.TimeDegit(i)->Keta()), 2);
            QVERIFY(f.TimeDegit(i)->isHidden());
        }
        QCOMPARE(f.TimeDegit(1)->geometry(), QRect(390, 2, 26, 20));
        QVERIFY(!f.Timer1()->isActive());
        QCOMPARE(f.Timer1()->interval(), 1000);
        QCOMPARE(f.ChimeiCtl()->geometry(), QRect(32, 43, 37, 196));
        QVERIFY(!f.ChimeiCtl()->isHidden());
        QCOMPARE(f.Picture().size(), QSize(710, 284));
        QCOMPARE(f.imgRes(2).toImage(), f.imgRes(0).toImage());
    }

    void startUpBlanksTheStoredCells()
    {
        Form1 f;
        QCOMPARE(f.Degit(48)->Value().toString(), QStringLiteral("1"));
        QCOMPARE(f.Degit(47)->Value().toInt(), 0);
        f.Form_Load();
        for (int i : {1, 48, 50, 58, 60})
            QCOMPARE(f.Degit(i)->shownText(), QString());
    }

    void windowIsRounded()
    {
        Form1 f;
        f.Form_Load();
        const QRegion mask = f.mask();
        QVERIFY(!mask.contains(QPoint(0, 0)));
        QVERIFY(!mask.contains(QPoint(709, 283)));
        QVERIFY(mask.contains(QPoint(355, 0)));
        QVERIFY(mask.contains(QPoint(0, 142)));
    }

    void onlyTheBoardDragsTheWindow()
    {
        Form1 f;
        f.Form_Load();
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        const QPoint start = f.pos();
        auto press = [&](QPoint local, Qt::MouseButton b) {
            QMouseEvent e(QEvent::MouseButtonPress, local, f.mapToGlobal(local), b, b, Qt::NoModifier);
            QApplication::sendEvent(&f, &e);
        };
        auto moveTo = [&](QPoint local, QPoint global) {
            QMouseEvent e(QEvent::MouseMove, local, global, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&f, &e);
        };
        auto release = [&](QPoint local) {
            QMouseEvent e(QEvent::MouseButtonRelease, local, f.mapToGlobal(local), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(&f, &e);
        };
        // The right button does nothing.
        press(QPoint(5, 150), Qt::RightButton);
        moveTo(QPoint(5, 150), f.mapToGlobal(QPoint(45, 180)));
        QCOMPARE(f.pos(), start);
        // A press on a cell or a label is theirs, not a handle.
        press(f.Degit(5)->geometry().center(), Qt::LeftButton);
        moveTo(QPoint(5, 150), f.mapToGlobal(QPoint(45, 180)));
        QCOMPARE(f.pos(), start);
        press(f.lblSeiriNum(5)->geometry().center(), Qt::LeftButton);
        moveTo(QPoint(5, 150), f.mapToGlobal(QPoint(45, 180)));
        QCOMPARE(f.pos(), start);
        press(f.ChimeiCtl()->geometry().center(), Qt::LeftButton);
        moveTo(QPoint(5, 150), f.mapToGlobal(QPoint(45, 180)));
        QCOMPARE(f.pos(), start);
        // The board itself follows the mouse while the left button is down.
        const QPoint grab(5, 150);
        press(grab, Qt::LeftButton);
        moveTo(grab, f.mapToGlobal(grab) + QPoint(40, 30));
        QCOMPARE(f.pos(), start + QPoint(40, 30));
        release(grab);
        moveTo(grab, f.mapToGlobal(grab) + QPoint(100, 100));
        QCOMPARE(f.pos(), start + QPoint(40, 30));
    }

    void acceptedSettingsGoToAllCells()
    {
        Form1 f;
        f.Form_Load();
        QWidget &console = *windows::loaded(windows::Id::Console); // loaded by the panel's start-up
        f.Degit(5)->setValue(120);
        f.Degit(60)->setValue(-1);
        bool consoleWasDisabled = false;
        int16_t seenKeta = 0;
        kxp4::substitutes().Call_dlg100 = [&](void *owner, int16_t keta, int16_t *zm, int16_t *sh, int16_t *fz) {
            consoleWasDisabled = !console.isEnabled();
            seenKeta = keta;
            if (owner != f.Degit(7))
                return 0;
            *zm = 3;
            *sh = 1;
            *fz = 3;
            return 1;
        };
        f.Degit_DblClick(7);
        QVERIFY(consoleWasDisabled);
        QVERIFY(console.isEnabled());
        QCOMPARE(int(seenKeta), 4);
        for (int i = 1; i <= 60; ++i) {
            QCOMPARE(int(f.Degit(i)->ZeroMode()), 3);
            QCOMPARE(int(f.Degit(i)->Shift()), 1);
            QCOMPARE(int(f.Degit(i)->FillZero()), 3);
        }
        // Values are kept and redrawn with the new settings.
        QCOMPARE(f.Degit(5)->Value().toInt(), 120);
        QCOMPARE(f.Degit(5)->shownText(), QStringLiteral("120 "));
        QCOMPARE(f.Degit(60)->shownText(), QStringLiteral("000 "));
        QCOMPARE(f.Degit(1)->shownText(), QStringLiteral("000 ")); // blank under mode 3 is a lit 0
        QCOMPARE(int(f.Degit(0)->ZeroMode()), 0);
    }

    void cancelledOrRefusedDialogTouchesNoOtherCell()
    {
        Form1 f;
        f.Form_Load();
        QWidget &console = *windows::loaded(windows::Id::Console); // loaded by the panel's start-up
        int calls = 0;
        kxp4::substitutes().Call_dlg100 = [&](void *, int16_t, int16_t *zm, int16_t *, int16_t *) {
            ++calls;
            *zm = 1;
            return 0;
        };
        f.Degit_DblClick(3);
        QCOMPARE(calls, 1);
        QCOMPARE(int(f.Degit(3)->ZeroMode()), 1); // the dialog's cell takes what it returned
        QCOMPARE(int(f.Degit(4)->ZeroMode()), 0);
        QVERIFY(console.isEnabled());

        f.Degit(9)->setUserSet(false);
        f.Degit_DblClick(9);
        QCOMPARE(calls, 1);
        QVERIFY(console.isEnabled());
    }

    void failingDialogGivesTheConsoleBack()
    {
        Form1 f;
        f.Form_Load();
        QWidget &console = *windows::loaded(windows::Id::Console); // loaded by the panel's start-up
        kxp4::substitutes().Call_dlg100 = [](void *, int16_t, int16_t *, int16_t *, int16_t *) -> int32_t {
            vb::raise(vb::ErrFileNotFound);
        };
        QVERIFY_THROWS_EXCEPTION(vb::Error, f.Degit_DblClick(2));
        QVERIFY(console.isEnabled());
    }

    void clockTick()
    {
        Form1 f;
        f.Timer1_Tick(QTime(0, 5, 30));
        QCOMPARE(f.TimeDegit(0)->shownText(), QString());
        QCOMPARE(f.TimeDegit(1)->shownText(), QStringLiteral("5"));
        f.Timer1_Tick(QTime(13, 45, 0));
        QCOMPARE(f.TimeDegit(0)->shownText(), QStringLiteral("13"));
        QCOMPARE(f.TimeDegit(1)->shownText(), QStringLiteral("45"));
    }
};

QTEST_MAIN(TestPanel)
#include "test_panel.moc"
