// The console driven as a user drives it: the keypad, loading a route,
// stepping with its sounds, clearing the display, the night fare and the
// information digits, the preview width, the backlight pictures and the exit.
#include "console/frmCtl.h"
#include "core/Cp932.h"
#include "core/IniData.h"
#include "core/KXP4Res.h"
#include "forms/Values.h"
#include "forms/Windows.h"
#include "options/frmOption.h"
#include "panel/Form1.h"
#include "tests/Fixture.h"
#include "windows/PanelScreen.h"

#include <QtTest>

namespace {

// Stop i's column c holds 10 * i + c, but for the ticket columns the
// console reads (7: 230, 8: -1) and the last column, which holds the
// step-sound selector given.
QByteArray fareFile(int count, const QList<int> &selectors = {})
{
    return fixture::route(count, [&selectors](int i, int c) {
        return c == 150 ? selectors.value(i - 1) : c == 7 ? 230 : c == 8 ? -1 : 10 * i + c;
    });
}

} // namespace

class TestConsole : public QObject {
    Q_OBJECT

    fixture::Windows m_w;
    QStringList &m_sent = m_w.mci;
    QStringList &m_boxes = m_w.boxes;
    frmCtl &console() { return windows::frmCtl(); }
    frmOption &options() { return windows::frmOption(); }
    Form1 &panel() { return windows::Form1(); }

    QString file(const QString &name, const QByteArray &content = "RIFF") { return m_w.file(name, content); }
    QStringList played() const { return m_w.played(); }
    void load(const QString &route, const QString &section)
    {
        console().CommandButton1_Click(10);
        for (QChar d : route)
            console().CommandButton1_Click(d.digitValue());
        console().CommandButton1_Click(11);
        for (QChar d : section)
            console().CommandButton1_Click(d.digitValue());
        m_sent.clear();
        console().Command1_Click(1);
    }
    QString cell(int i) { return panel().Degit(i)->Value().toString(); }

private slots:
    void init()
    {
        m_w.begin(); // each case a first run: no settings file yet
        panel();     // the whole start-up: panel, options and console
        forms::setText(*options().Text2(0), m_w.dir());
        for (int i : {0, 1, 7, 8, 9, 10})
            forms::setText(*options().txtSelectSound(i), file(QStringLiteral("snd%1.wav").arg(i)));
        m_sent.clear();
    }
    void cleanup() { m_w.end(); }

    void keypadKeepsFiveRouteAndThreeSectionDigits()
    {
        frmCtl &c = console();
        c.CommandButton1_Click(10);
        for (int i = 0; i < 6; ++i)
            c.CommandButton1_Click(7);
        c.CommandButton1_Click(11);
        for (int d : {1, 2, 3, 4})
            c.CommandButton1_Click(d);
        QCOMPARE(forms::caption(*c.Label2(0)), QStringLiteral("77777"));
        QCOMPARE(forms::caption(*c.Label2(2)), QStringLiteral("123"));
        QCOMPARE(played().count(QStringLiteral("snd1")), 12); // every press sounds, ignored digits too
        // Each key shows through its region: 26 x 23 pixels from (2, 2), the far edges excluded.
        for (int i = 0; i < 12; ++i) {
            QCOMPARE(c.CommandButton1(i)->mask().boundingRect(), QRect(2, 2, 26, 23));
            QCOMPARE(c.KeyRegions[size_t(i)], c.CommandButton1(i)->mask());
        }
        c.CommandButton1_Click(11);
        QCOMPARE(forms::caption(*c.Label2(0)), QStringLiteral("77777"));
        QCOMPARE(forms::caption(*c.Label2(2)), QString());
        c.CommandButton1_Click(10);
        QCOMPARE(forms::caption(*c.Label2(0)), QString());
    }

    void loadingARoute()
    {
        file(QStringLiteral("12.HY3"), fareFile(5)); // found whatever its letter case
        load(QStringLiteral("00012"), QStringLiteral("2"));
        QCOMPARE(m_boxes, QStringList());
        QCOMPARE(played(), QStringList({"snd0"})); // the route-set sound only
        frmCtl &c = console();
        QCOMPARE(int(c.ride().route().CurIndex), 1);
        QCOMPARE(c.ride().route().RouteNo, QStringLiteral("00012"));
        QVERIFY(c.Command2(1)->isEnabled() && c.Check1->isEnabled());
        QCOMPARE(cell(1), QStringLiteral("0")); // before the start section: the lamp test's 0
        QCOMPARE(cell(2), QString::number(22));
        QCOMPARE(cell(60), QString::number(80));
        QCOMPARE(panel().ChimeiCtl()->accessibleDescription(), QStringLiteral("停留所2"));
    }

    // Which file a route names and where the ride starts.
    void routeKeysSectionsAndFolders_data()
    {
        QTest::addColumn<QString>("route");
        QTest::addColumn<QString>("section");
        QTest::addColumn<bool>("emptyFolder");
        QTest::addColumn<int>("start");
        QTest::addColumn<QString>("stop");
        QTest::newRow("empty route is 0.hy3") << "" << "2" << false << 2 << "停留所2";
        QTest::newRow("section 000 is 1") << "012" << "000" << false << 1 << "停留所1";
        QTest::newRow("section 999 is 300") << "12" << "999" << false << 300 << "停留所300";
        QTest::newRow("empty folder: the executable's") << "00077" << "1" << true << 1 << "停留所1";
    }
    void routeKeysSectionsAndFolders()
    {
        QFETCH(QString, route);
        QFETCH(QString, section);
        QFETCH(bool, emptyFolder);
        QFETCH(int, start);
        QFETCH(QString, stop);
        file(QStringLiteral("0.hy3"), fareFile(3));
        file(QStringLiteral("12.hy3"), fareFile(301));
        const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("77.hy3"));
        if (emptyFolder) {
            QFile f(beside);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(fareFile(3));
            forms::setText(*options().Text2(0), QString());
        }
        load(route, section);
        if (emptyFolder)
            QFile::remove(beside);
        QCOMPARE(m_boxes, QStringList());
        QCOMPARE(int(console().ride().route().StartSection), start);
        QCOMPARE(panel().ChimeiCtl()->accessibleDescription(), stop);
    }

    void rejectedLoads_data()
    {
        QTest::addColumn<QString>("route");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing file") << "7" << "1" << "指定した系統のデータがありません...";
        QTest::newRow("count 0") << "20" << "1" << "指定した系統はデータの数が0(未登録)の可能性があります...";
        QTest::newRow("section past the data")
            << "12" << "5" << "指定した区間はデータの数よりも多いです...\r\n  解決法：正しい区間を入力して下さい.";
        QTest::newRow("count -1") << "21" << "1" << "指定した区間はデータの数よりも多いです...\r\n  解決法：正しい区間を入力して下さい.";
        QTest::newRow("cut file") << "22" << "1" << "ファイルにこれ以上データがありません。";
        // The count is judged before the records: the section it cannot reach is named.
        QTest::newRow("cut file, section past its count")
            << "23" << "5" << "指定した区間はデータの数よりも多いです...\r\n  解決法：正しい区間を入力して下さい.";
    }
    void rejectedLoads()
    {
        QFETCH(QString, route);
        QFETCH(QString, section);
        QFETCH(QString, message);
        file(QStringLiteral("12.hy3"), fareFile(5));
        file(QStringLiteral("20.hy3"), fareFile(0));
        file(QStringLiteral("21.hy3"), fixture::declaring(-1, fareFile(0)));
        file(QStringLiteral("22.hy3"), fareFile(3).chopped(10));
        file(QStringLiteral("23.hy3"), fixture::declaring(5, fareFile(2)));
        file(QStringLiteral("3.hy3"), fareFile(3));
        load(QStringLiteral("3"), QStringLiteral("1"));
        m_boxes.clear();
        load(route, section);
        QCOMPARE(m_boxes, QStringList{message});
        QCOMPARE(played().value(0), QStringLiteral("snd0")); // the sound came first
        // The previous route stays on the panel and in the table.
        QCOMPARE(console().ride().table().loadedRows(), 3);
        QCOMPARE(console().ride().table().row(1).StopName, QStringLiteral("停留所1"));
        QCOMPARE(cell(5), QString::number(15));
        // Stepping never goes past the rows actually loaded.
        for (int i = 0; i < 5; ++i)
            console().Command2_Click(1);
        QVERIFY(console().ride().route().CurIndex <= 2);
    }

    // A mistyped or cut route is refused whole: the route riding keeps its
    // number, count, stop, announcements and ticket, and rides on.
    void aFailedLoadLeavesTheRouteRiding()
    {
        file(QStringLiteral("12.hy3"), fareFile(8));
        file(QStringLiteral("12tp.csv"), cp932::encode(QStringLiteral("次は、停留所2です。,1,0\r\n")));
        file(QStringLiteral("13.hy3"), fixture::declaring(4, fareFile(2)));
        forms::setText(*options().Text2(1), m_w.dir());
        load(QStringLiteral("12"), QStringLiteral("2"));
        frmCtl &c = console();
        c.Command2_Click(1);
        QCOMPARE(int(c.ride().route().CurIndex), 2);
        const bool tape = c.cmdTapeNext->isEnabled();
        for (const char *route : {"13", "14"}) {
            m_boxes.clear();
            load(QString::fromLatin1(route), QStringLiteral("1"));
            QCOMPARE(m_boxes.size(), 1); // the load's own message, as before
            QCOMPARE(c.ride().route().RouteNo, QStringLiteral("12"));
            QCOMPARE(int(c.ride().route().StartSection), 2);
            QCOMPARE(int(c.ride().route().DataCount), 8);
            QCOMPARE(int(c.ride().route().CurIndex), 2);
            QCOMPARE(c.cmdTapeNext->isEnabled(), tape);
            QCOMPARE(panel().ChimeiCtl()->accessibleDescription(), QStringLiteral("停留所3"));
        }
        QCOMPARE(m_boxes, QStringList{QStringLiteral("指定した系統のデータがありません...")});
        for (int i = 0; i < 6; ++i)
            c.Command2_Click(1);
        QCOMPARE(int(c.ride().route().CurIndex), 7);
        QCOMPARE(panel().ChimeiCtl()->accessibleDescription(), QStringLiteral("停留所8"));
    }

    // Each key presses its button in whichever of the three windows is
    // active: the console, the panel, the panel full screen.
    void keysPressTheirButtons_data()
    {
        QTest::addColumn<int>("window");
        QTest::newRow("console") << 0;
        QTest::newRow("panel") << 1;
        QTest::newRow("full screen") << 2;
    }
    void keysPressTheirButtons()
    {
        QFETCH(int, window);
        file(QStringLiteral("12.hy3"), fareFile(3));
        load(QStringLiteral("12"), QStringLiteral("1"));
        if (window == 2)
            QVERIFY(panelscreen::show(0));
        QWidget *w = window == 0 ? static_cast<QWidget *>(&console()) : window == 1 ? &panel() : panelscreen::view();
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        const auto stop = [this] { return panel().ChimeiCtl()->accessibleDescription(); };
        QTest::keyClick(w, Qt::Key_PageDown);
        QCOMPARE(stop(), QStringLiteral("停留所2"));
        QTest::keyClick(w, Qt::Key_F6);
        QTest::keyClick(w, Qt::Key_F6); // the last stop: the button takes it as a click does
        QCOMPARE(stop(), QStringLiteral("停留所3"));
        QTest::keyClick(w, Qt::Key_PageUp);
        QCOMPARE(stop(), QStringLiteral("停留所2"));
        QTest::keyClick(w, Qt::Key_F9);
        QCOMPARE(forms::checkValue(*console().Check1), 1);
        QTest::keyClick(w, Qt::Key_PageDown); // データ送り is disabled while cleared
        QTest::keyClick(w, Qt::Key_F9);
        QCOMPARE(forms::checkValue(*console().Check1), 0);
        QCOMPARE(stop(), QStringLiteral("停留所2"));
        QTest::keyClick(w, Qt::Key_F11);
        QCOMPARE(panelscreen::active(), window != 2);
        panelscreen::restore();
        QCOMPARE(m_boxes, QStringList());
    }

    void steppingStopsAtBothEndsInSilence()
    {
        file(QStringLiteral("12.hy3"), fareFile(3));
        forms::setOptionValue(*options().Option2(0), -1); // always the fixed sound
        load(QStringLiteral("12"), QStringLiteral("1"));
        frmCtl &c = console();
        m_sent.clear();
        c.Command2_Click(0);
        QCOMPARE(played(), QStringList());
        c.Command2_Click(1);
        c.Command2_Click(1);
        c.Command2_Click(1); // already on the last stop
        QCOMPARE(played(), QStringList({"snd7@S2", "snd7@S2"}));
        QCOMPARE(int(c.ride().route().CurIndex), 2);
        QCOMPARE(cell(1), QString::number(31));
    }

    void stepSoundByColumnAndSyncFlag()
    {
        file(QStringLiteral("12.hy3"), fareFile(5, {0, 1, 2, 3, 4}));
        frmOption &o = options();
        forms::setOptionValue(*o.Option2(1), -1);
        forms::setListIndex(*o.Combo1, 149); // column 150
        forms::setOptionValue(*o.Option6(0), -1);
        load(QStringLiteral("12"), QStringLiteral("1"));
        m_sent.clear();
        for (int i = 0; i < 4; ++i)
            console().Command2_Click(1);
        QCOMPARE(played(), QStringList({"snd8@S2", "snd9@S2", "snd10@S2"})); // 4 is silent
        QVERIFY(m_sent.filter(QStringLiteral("play ")).first().endsWith(QStringLiteral(" wait")));
        QCOMPARE(cell(1), QString::number(51)); // the silent step still changed the fares
    }

    void nightFareAndInformationDigits()
    {
        file(QStringLiteral("12.hy3"), fareFile(3));
        frmOption &o = options();
        forms::setCheckValue(*o.Check3(0), 1); // stop order in cell 7, counted from 0
        forms::setListIndex(*o.Combo4(0), 6);
        forms::setCheckValue(*o.Check3(4), 1);
        forms::setCheckValue(*o.Check3(2), 1); // route number in cell 7 too: it wins
        forms::setListIndex(*o.Combo4(2), 6);
        forms::setCheckValue(*o.Check3(3), 1); // column 8 in cell 10, never doubled
        forms::setListIndex(*o.Combo4(4), 7);
        forms::setListIndex(*o.Combo4(3), 9);
        forms::setCheckValue(*console().Check2, 1);
        load(QStringLiteral("012"), QStringLiteral("1"));
        QCOMPARE(cell(1), QString::number(2 * 11));
        QCOMPARE(cell(7), QStringLiteral("012")); // as entered, leading zero kept
        QCOMPARE(cell(8), QStringLiteral("-1"));  // -1 is never doubled
        QCOMPARE(cell(10), QStringLiteral("-1"));
        forms::setCheckValue(*o.Check3(2), 0);
        console().Command2_Click(1);
        QCOMPARE(cell(7), QStringLiteral("1")); // the second stop counted from 0

        // The same stop shown again writes every cell but draws only those an
        // information digit overwrites (the fare first, then the digit); a
        // cell whose value changes is drawn at once.
        const auto drawn = [this] {
            QList<int> n;
            for (int c = 1; c <= Form1::kCells; ++c)
                n.append(panel().Degit(c)->drawings());
            return n;
        };
        const QList<int> before = drawn();
        console().DispData(console().ride().route().CurIndex + 1);
        const QList<int> after = drawn();
        for (int c = 1; c <= Form1::kCells; ++c)
            QCOMPARE(after[c - 1] - before[c - 1], c == 7 || c == 10 ? 2 : 0);
        forms::setCheckValue(*console().Check2, 0);
        console().DispData(console().ride().route().CurIndex + 1);
        QCOMPARE(drawn()[0], after[0] + 1);
        QCOMPARE(cell(1), QString::number(21)); // the day fare of the second stop
    }

    void clearingTheDisplay()
    {
        file(QStringLiteral("12.hy3"), fareFile(8));
        load(QStringLiteral("12"), QStringLiteral("5"));
        frmCtl &c = console();
        forms::setCheckValue(*c.Check1, 1);
        QCOMPARE(panel().Degit(5)->shownText().trimmed(), QString());
        QVERIFY(!c.Frame1(0)->isEnabled() && !c.Command2(1)->isEnabled() && !c.Frame6->isEnabled());
        QVERIFY(!panel().Timer1()->isActive());
        forms::setCheckValue(*c.Check1, 0);
        QVERIFY(c.Frame1(1)->isEnabled() && c.Command2(0)->isEnabled());
        QCOMPARE(c.grpM_Tape->isEnabled(), c.TapeEnabled); // back as speech allows
        QVERIFY(!panel().Timer1()->isActive()); // the clock digits are hidden
        QCOMPARE(cell(5), QString::number(55));
        QCOMPARE(panel().Degit(4)->shownText().trimmed(), QString()); // not rewritten
    }

    void previewWidthAndSavedControls()
    {
        frmCtl &c = console();
        c.Check4->setChecked(true);
        QCOMPARE(c.width(), 594);
        QCOMPARE(c.Check4->text(), QStringLiteral("<<"));
        QCOMPARE(c.Check4->toolTip(), QStringLiteral("整理券プレビューを隠します"));
        IniData d;
        d.CtlLeft = 1500, d.CtlTop = 3000, d.ChimeiSpeed = 250, d.ChimeiScrollStartWait = 1200;
        d.InputMode = 1, d.SeiriPrevOpen = 0, d.LateNightFare = 1;
        c.SetCtrlDataInfo(d);
        QCOMPARE(c.width(), 353);
        QCOMPARE(c.Check4->toolTip(), QStringLiteral("整理券プレビューを開きます"));
        QCOMPARE(int(panel().ChimeiCtl()->Speed()), 250);
        QCOMPARE(panel().ChimeiCtl()->ScrollStartWait(), 1200);
        QCOMPARE(forms::caption(*c.Label1(1)), QStringLiteral("1200"));
        // The saved frame went behind the other one.
        const QObjectList order = c.children();
        QVERIFY(order.indexOf(c.Frame1(1)) < order.indexOf(c.Frame1(0)));
        IniData back;
        c.GetCtrlDataInfo(back);
        QCOMPARE(back.CtlLeft, 1500);
        QCOMPARE(back.CtlTop, 3000);
        QCOMPARE(back.ChimeiSpeed, 250);
        QCOMPARE(int(back.InputMode), 1);
        QCOMPARE(int(back.LateNightFare), 1);
    }

    void backlightPictures_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<bool>("individual");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("message");
        QTest::newRow("built in") << 0 << false << "" << "";
        QTest::newRow("user picture") << 1 << true << "user.bmp" << "";
        QTest::newRow("missing file: silent") << 1 << true << "none.jpg" << "";
        QTest::newRow("text named .jpg")
            << 2 << true << "text.jpg" << "エラーです。\r\n\r\nエラーコード：481　指定した画像の内容が不正です。この部分では扱えません。";
    }
    void backlightPictures()
    {
        QFETCH(int, state);
        QFETCH(bool, individual);
        QFETCH(QString, fileName);
        QFETCH(QString, message);
        QImage user(40, 20, QImage::Format_RGB32);
        user.fill(Qt::red);
        user.save(m_w.path(QStringLiteral("user.bmp")));
        file(QStringLiteral("text.jpg"), "this is not a picture");
        frmOption &o = options();
        static constexpr int kUser[3] = {6, 2, 5};
        forms::setOptionValue(*o.Option3(individual ? 1 : 0), -1);
        forms::setOptionValue(*o.Option3(kUser[state]), -1);
        forms::setText(*o.txtSelectPanel(state), fileName.isEmpty() ? QString() : m_w.path(fileName));
        forms::setFaceColor(*o.Command5(state), 0x000000FF);
        const QImage before = panel().Picture().toImage();
        console().Option4_Click(state);
        QCOMPARE(m_boxes, message.isEmpty() ? QStringList() : QStringList{message});
        const QImage after = panel().Picture().toImage();
        if (fileName == u"user.bmp") {
            QCOMPARE(after.pixelColor(5, 5), QColor(Qt::red));
            // Shown unscaled from the top-left; the board beyond it is the window's grey.
            const QImage shown = panel().grab().toImage();
            QCOMPARE(shown.pixelColor(5, 5), QColor(Qt::red));
            const QColor face = panel().palette().color(QPalette::Window);
            QVERIFY(face != QColor(Qt::white));
            for (const QPoint p : {QPoint(45, 10), QPoint(100, 10), QPoint(700, 150), QPoint(300, 275)})
                QCOMPARE(shown.pixelColor(p), face);
        }
        else if (!individual)
            QCOMPARE(after, panel().imgRes(state).toImage());
        else
            QCOMPARE(after, before);
        for (int k : {1, 60})
            QCOMPARE(panel().lblSeiriNum(k)->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    }

    void exitAsksFirst()
    {
        frmCtl &c = console();
        c.CommandButton1_Click(10);
        c.CommandButton1_Click(3);
        m_sent.clear();
        m_w.answer = platform::vbNo;
        QVERIFY(!c.close());
        QCOMPARE(m_boxes, QStringList{QStringLiteral("ソラトビを終了しますか？")});
        QVERIFY(m_sent.isEmpty());
        QCOMPARE(forms::caption(*c.Label2(0)), QStringLiteral("3"));
        m_w.answer = platform::vbYes;
        QVERIFY(c.close());
        QCOMPARE(m_sent.filter(QStringLiteral("close ")).size(), 4); // every channel closed
        QCOMPARE(panel().ChimeiCtl()->accessibleDescription(), QString());
        QVERIFY(!panel().isVisible());
    }

    // Closing the board from the window manager is the console's exit.
    void closingTheBoardAsksTheExitQuestion()
    {
        Form1 &p = panel();
        p.show();
        m_w.answer = platform::vbNo;
        QVERIFY(!p.close());
        QVERIFY(p.isVisible() && console().isVisible());
        QCOMPARE(m_boxes, QStringList{QStringLiteral("ソラトビを終了しますか？")});
        QVERIFY(m_sent.isEmpty());
        m_w.answer = platform::vbYes;
        QVERIFY(!p.close()); // the console's exit hides it with every other window
        QCOMPARE(m_boxes.size(), 2);
        QVERIFY(!p.isVisible() && !console().isVisible());
        QCOMPARE(m_sent.filter(QStringLiteral("close ")).size(), 4);
    }

    // The ticket plug-in: chosen in the options, drawn at every redisplay.
    void pluginChoiceAndPreview()
    {
        frmOption &o = options();
        frmCtl &c = console();
        const QString barcode = QStringLiteral(S4_PLUGIN_DIR "/seiriken_barcode.4SP");
        const QString plain = QStringLiteral(S4_PLUGIN_DIR "/seiriken_plain.4SP");
        QByteArray answer;
        kxp4::substitutes().Kx3FileDlg = [&answer](void *, int32_t, const char *, const char *, const char *) {
            return answer.constData();
        };
        answer = cp932::encode(barcode);
        o.Command1_Click();
        QCOMPARE(forms::text(*o.txtSeiriPlgDir), barcode);
        QCOMPARE(o.List1->count(), 10);
        QVERIFY(c.Combo1->count() >= 2);
        QCOMPARE(forms::listIndex(*c.Combo1), -1); // no company until the user picks one
        const QSize barcodeTicket = c.previewImage().size();

        answer.clear(); // cancelled: nothing changes
        o.Command1_Click();
        QCOMPARE(forms::text(*o.txtSeiriPlgDir), barcode);
        QCOMPARE(o.List1->count(), 10);
        answer = cp932::encode(m_w.path(QStringLiteral("snd0.wav"))); // not a plug-in
        o.Command1_Click();
        QCOMPARE(m_boxes, QStringList{QStringLiteral("指定したファイルはプラグインでないか、内容が不正です")});
        QCOMPARE(forms::text(*o.txtSeiriPlgDir), barcode);
        QCOMPARE(c.Combo1->count(), 0); // emptied before the load
        answer = cp932::encode(plain); // no company choice: the list stays empty
        o.Command1_Click();
        QCOMPARE(c.Combo1->count(), 0);
        QCOMPARE(o.List1->count(), 6);
        const QSize ticket = c.previewImage().size(); // the preview takes each ticket's size
        QVERIFY(ticket != barcodeTicket);
        kxp4::resetSubstitutes();

        // The nine arguments, in order, at every redisplay while the preview is in use.
        file(QStringLiteral("12.hy3"), fareFile(3));
        forms::setText(*o.txtSeiriPlgDir, barcode);
        forms::setCheckValue(*o.chkUseSeiriPrev, 1);
        forms::setOptionValue(*o.Option4(1), -1); // the date kept from the route load
        QStringList calls;
        kxp4::substitutes().KX4_DrawSeiriken = [&calls](const char *path, void *hdc, const char *stop, const char *date,
                                                        const char *time, int32_t route, int16_t seiri, int16_t row,
                                                        int16_t corp) {
            calls << QStringList{cp932::decodeC(path), QString::number(hdc != nullptr), cp932::decodeC(stop),
                                 cp932::decodeC(date), QString::number(qstrlen(time)), QString::number(route),
                                 QString::number(seiri), QString::number(row), QString::number(corp)}
                         .join(u'|');
            return 1;
        };
        load(QStringLiteral("00012"), QStringLiteral("1"));
        c.ride().setTicketDate(QStringLiteral("12-31-2025")); // as if the load was before midnight
        c.Command2_Click(1);
        QCOMPARE(calls.size(), 2);
        QCOMPARE(calls[1], QStringList({barcode, "1", "停留所2", "12-31-2025", "8", "12", "2", "2", "-1"}).join(u'|'));
        forms::setCheckValue(*o.chkUseSeiriPrev, 0);
        c.Command2_Click(0);
        QCOMPARE(calls.size(), 2); // not in use: nothing drawn
        QCOMPARE(c.previewImage().size(), ticket);
        kxp4::resetSubstitutes();
    }

    void aStoredPluginThatFailsIsSilent()
    {
        IniData d;
        options().GetOptionInfo(d);
        d.SeiriPlgPath = m_w.path(QStringLiteral("gone.4SP"));
        options().SetOptionInfo(d);
        QCOMPARE(m_boxes, QStringList());
        QCOMPARE(options().List1->count(), 0);
        QCOMPARE(options().txtPlginComment->toPlainText(), QString());
    }

    void aboutText()
    {
        const QStringList lines = frmCtl::aboutText().split(QStringLiteral("\r\n"));
        QCOMPARE(lines.value(0), QStringLiteral("型番：") + QFileInfo(QCoreApplication::applicationFilePath()).baseName());
        QVERIFY(lines.value(1).startsWith(QStringLiteral("バージョン：4.0.")));
        QCOMPARE(lines.value(2), QString());
        QVERIFY(lines.value(4).endsWith(QString::number(QDate::currentDate().year())));
    }
};

QTEST_MAIN(TestConsole)
#include "test_console.moc"
