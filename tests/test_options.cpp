// The options dialog: start values, lists, captions, the enabling rules when
// values are set from code, groups left without a selection, the choosers'
// answers through substituted helper exports, what survives hiding, and how
// the pages read: Tab order, colour faces, room for the lists, text limits.
#include "core/Cp932.h"
#include "core/KXP4Res.h"
#include "core/StoredText.h"
#include "core/VbError.h"
#include "forms/Values.h"
#include "forms/Windows.h"
#include "options/frmOption.h"
#include "platform/Shell.h"
#include "platform/Units.h"
#include "tests/Fixture.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDate>
#include <QPointer>
#include <QScrollBar>
#include <QtTest>

namespace {

enum Kind { Check, Option, List, Text, Colour, Caption };

// A filter handed to the library: every element up to the closing double NUL.
QStringList filterElements(const char *filter)
{
    QStringList parts;
    for (const char *p = filter; *p; p += std::strlen(p) + 1)
        parts << cp932::decodeC(p);
    return parts;
}

// Every choice made that shows or enables a dependent control.
void showEverything(frmOption &dlg)
{
    forms::setOptionValue(*dlg.Option3(1), -1);
    forms::setCheckValue(*dlg.chkUseSeiriPrev, 1);
    for (int i = 0; i < 4; ++i)
        forms::setCheckValue(*dlg.Check3(i), 1);
}

// The child of `ancestor` that holds `w` (or `w` itself).
QWidget *childHolding(QWidget *ancestor, QWidget *w)
{
    while (w->parentWidget() != ancestor)
        w = w->parentWidget();
    return w;
}

// Whether b reads after a: in the frame that holds both, b's part is on a
// later row, or on the same row (each one's middle within the other's height)
// further right.
bool readsAfter(QWidget *a, QWidget *b)
{
    QWidget *common = a->parentWidget();
    while (!common->isAncestorOf(b))
        common = common->parentWidget();
    const QRect ra = childHolding(common, a)->geometry(), rb = childHolding(common, b)->geometry();
    const bool sameRow = rb.center().y() >= ra.top() && rb.center().y() <= ra.bottom()
                         && ra.center().y() >= rb.top() && ra.center().y() <= rb.bottom();
    return sameRow ? rb.left() > ra.left() : rb.top() > ra.center().y();
}

} // namespace

class TestOptions : public QObject {
    Q_OBJECT
    fixture::Windows m_w;

private slots:
    void init() { m_w.begin(); }
    void cleanup()
    {
        m_w.end();
        QCOMPARE(m_w.boxes, QStringList()); // the dialog alone never asks
    }

    void startValues_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("kind");
        QTest::addColumn<qlonglong>("expected"); // a text's expected value is empty
        const auto row = [](const char *name, Kind kind, qlonglong value = 0) {
            QTest::newRow(name) << QString::fromLatin1(name) << int(kind) << value;
        };
        row("Text2(0)", Text);
        row("Text2(1)", Text);
        row("Check1", Check, 1);
        row("Command5(0)", Colour, 0x008000);
        row("Command5(1)", Colour, 0x00C000);
        row("Command5(2)", Colour, 0x00C000);
        row("Combo2", List, 0);
        row("Check2", Check, 0);
        row("Option3(0)", Option, -1);
        row("Option3(1)", Option, 0);
        row("Option3(7)", Option, -1);
        row("Option3(6)", Option, 0);
        row("Option3(3)", Option, -1);
        row("Option3(2)", Option, 0);
        row("Option3(4)", Option, -1);
        row("Option3(5)", Option, 0);
        for (const char *t : {"txtSelectPanel(0)", "txtSelectPanel(1)", "txtSelectPanel(2)"})
            row(t, Text);
        row("Command8(0)", Colour, 0x808080);
        row("Command8(1)", Colour, 0x969696);
        row("Command8(2)", Colour, 0x72D2F8);
        for (const char *c : {"Check3(0)", "Check3(4)", "Check3(1)", "Check3(2)", "Check3(3)"})
            row(c, Check, 0);
        for (const char *c : {"Combo4(0)", "Combo4(1)", "Combo4(2)", "Combo4(4)", "Combo4(3)", "Combo1"})
            row(c, List, 0);
        row("Command9(0)", Colour, 0x808080);
        row("Command9(1)", Colour, 0x00FFFF);
        row("Combo3", List, -1);
        row("Check4", Check, 0);
        for (int i : {0, 1, 7, 8, 9, 10, 3, 4, 5, 6})
            QTest::newRow(qPrintable(QStringLiteral("txtSelectSound(%1)").arg(i)))
                << QStringLiteral("txtSelectSound(%1)").arg(i) << int(Text) << 0LL;
        row("Option2(0)", Option, -1);
        row("Option2(1)", Option, 0);
        row("Option6(0)", Option, 0);
        row("Option6(1)", Option, -1);
        row("Option2(2)", Option, -1);
        row("Option2(3)", Option, 0);
        row("Option7(0)", Option, -1);
        row("Option7(1)", Option, 0);
        row("chkUseSeiriPrev", Check, 0);
        row("txtSeiriPlgDir", Text);
        row("Option4(0)", Option, -1);
        row("Option4(1)", Option, 0);
        row("Option4(2)", Option, 0);
        row("Label10", Caption);
    }
    void startValues()
    {
        QFETCH(QString, control);
        QFETCH(int, kind);
        QFETCH(qlonglong, expected);
        frmOption &dlg = windows::frmOption();
        QVERIFY(!dlg.isVisible());
        QWidget *w = dlg.findChild<QWidget *>(control);
        QVERIFY2(w, qPrintable(control));
        switch (Kind(kind)) {
        case Check: QCOMPARE(forms::checkValue(*qobject_cast<QCheckBox *>(w)), expected); break;
        case Option: QCOMPARE(forms::optionValue(*qobject_cast<QAbstractButton *>(w)), expected); break;
        case List: QCOMPARE(forms::listIndex(*qobject_cast<QComboBox *>(w)), expected); break;
        case Text: QCOMPARE(forms::text(*qobject_cast<QLineEdit *>(w)), QString()); break;
        case Colour: QCOMPARE(qlonglong(forms::faceColor(*qobject_cast<QAbstractButton *>(w))), expected); break;
        case Caption:
            QCOMPARE(forms::caption(*qobject_cast<QLabel *>(w)),
                     QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd")));
            break;
        }
    }

    void listsAreFilled()
    {
        frmOption &dlg = windows::frmOption();
        for (int i = 0; i <= 4; ++i) {
            const int last = i == 4 ? 150 : 60;
            QCOMPARE(dlg.Combo4(i)->count(), last);
            QCOMPARE(dlg.Combo4(i)->itemText(0), QStringLiteral("1"));
            QCOMPARE(dlg.Combo4(i)->itemText(last - 1), QString::number(last));
        }
        QCOMPARE(dlg.Combo1->count(), 150);
        QCOMPARE(dlg.Combo1->itemText(149), QStringLiteral("150"));

        QCOMPARE(dlg.Combo2->count(), 12);
        QCOMPARE(dlg.Combo2->itemText(0), QStringLiteral("1,2,3... 60 （既定の表示）"));
        QCOMPARE(dlg.Combo2->itemText(1), QStringLiteral("0,1,2... 59"));
        QCOMPARE(dlg.Combo2->itemText(3), QStringLiteral("「なし」、2,3... 60"));
        QCOMPARE(dlg.Combo2->itemText(8), QStringLiteral("「券無し」、1,2... 59"));
        QCOMPARE(dlg.Combo2->itemText(11), QStringLiteral("(無地)、2,3... 60"));

        QCOMPARE(dlg.Combo3->count(), 5);
        QCOMPARE(dlg.Combo3->itemText(2), QStringLiteral("漢字はゴシック、それ以外は明朝"));
        QCOMPARE(dlg.Combo3->itemText(4), QStringLiteral("英数字はゴシック、それ以外は明朝"));

        // The preview shows its number in the three digit colours.
        QCOMPARE(dlg.M_Degit1->Value().toInt(), 123);
        QCOMPARE(dlg.M_Degit1->DegitForeColor(), 0x72D2F8u);
        QCOMPARE(dlg.M_Degit1->BackColor(), 0x808080u);
    }

    void captionsAreExact_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("caption");
        QTest::newRow("page 0 button") << "Option1(0)" << QStringLiteral("運賃データと\u3000放送用データ");
        QTest::newRow("page 5 button") << "Option1(5)" << QStringLiteral("\u3000\u3000整理券\u3000\u3000\u3000プレビュー");
        QTest::newRow("sound page") << "Frame1(4)" << QStringLiteral("サウンド（鳴らさなくてもいい項目にはファイル名を入れないで下さい）");
        QTest::newRow("stop order row") << "Check3(0)"
                                        << QStringLiteral("停留所の順番（区間・個数）を、\u3000\u3000\u3000\u3000\u3000\u3000  コマ目に表示する。");
        QTest::newRow("column row") << "Check3(3)"
                                    << QStringLiteral("データの\u3000\u3000\u3000  \u3000\u3000\u3000\u3000\u3000列目の値を、  "
                                                      "\u3000\u3000\u3000\u3000\u3000\u3000コマ目に表示する。");
        QTest::newRow("sound sub-page") << "Option5(1)" << QStringLiteral("送り・戻し時のサウンド...");
        QTest::newRow("date button") << "Command7" << QStringLiteral("日付選択...");
    }
    void captionsAreExact()
    {
        QFETCH(QString, control);
        QFETCH(QString, caption);
        frmOption dlg;
        QObject *w = dlg.findChild<QObject *>(control);
        QVERIFY2(w, qPrintable(control));
        if (auto *b = qobject_cast<QAbstractButton *>(w))
            QCOMPARE(b->text(), caption);
        else
            QCOMPARE(qobject_cast<QGroupBox *>(w)->title(), caption);
        QCOMPARE(dlg.windowTitle(), QStringLiteral("オプション"));
    }

    void arraysKeepTheirIndexesAndNames()
    {
        frmOption dlg;
        QVERIFY(!dlg.txtSelectSound.contains(2));
        QVERIFY(!dlg.cmdSelectSound.contains(2));
        QCOMPARE(dlg.txtSelectSound.UBound(), 10);
        try {
            dlg.txtSelectSound(2);
            QFAIL("index 2 exists");
        } catch (const vb::Error &e) {
            QCOMPARE(e.number(), vb::ErrSubscript);
        }
        // Controls without a caption of their own are known by their design name.
        QCOMPARE(dlg.Text2(0)->accessibleName(), QStringLiteral("Text2(0)"));
        QCOMPARE(dlg.Combo4(3)->accessibleName(), QStringLiteral("Combo4(3)"));
        QCOMPARE(dlg.Command5(1)->accessibleName(), QStringLiteral("Command5(1)"));
        QCOMPARE(dlg.Command11->accessibleName(), QStringLiteral("Command11"));
        QCOMPARE(dlg.Label10->accessibleName(), QStringLiteral("Label10"));
        // Every combo box sits inside its row, nothing leaves the dialog.
        for (auto [i, c] : dlg.Combo4)
            QVERIFY(c->parentWidget()->rect().contains(c->geometry()));
        QVERIFY(dlg.width() >= 638 && dlg.height() >= 374);
    }

    void dependentControlsFollowValuesSetFromCode()
    {
        frmOption dlg;
        QVERIFY(dlg.Frame3->isEnabled());
        forms::setCheckValue(*dlg.Check1, 0);
        QVERIFY(!dlg.Frame3->isEnabled());
        forms::setCheckValue(*dlg.Check1, 1);
        QVERIFY(dlg.Frame3->isEnabled());

        // Each row's boxes follow the row's check box, the other rows stay.
        const QList<QList<QWidget *>> rows = {{dlg.Combo4(0), dlg.Check3(4)}, {dlg.Combo4(1)}, {dlg.Combo4(2)},
                                              {dlg.Combo4(3), dlg.Combo4(4)}};
        for (int r = 0; r < 4; ++r) {
            forms::setCheckValue(*dlg.Check3(r), 1);
            for (int other = 0; other < 4; ++other)
                for (QWidget *w : rows[other])
                    QCOMPARE(w->isEnabled(), other == r);
            forms::setCheckValue(*dlg.Check3(r), 0);
            for (QWidget *w : rows[r])
                QVERIFY(!w->isEnabled());
        }
        forms::setCheckValue(*dlg.Check3(4), 1); // its own change enables nothing
        QVERIFY(!dlg.Combo4(0)->isEnabled());

        forms::setText(*dlg.txtSelectPanel(1), QStringLiteral("on1.bmp"));
        forms::setOptionValue(*dlg.Option3(1), -1);
        for (auto [k, f] : dlg.Frame6)
            QVERIFY(f->isEnabled() && !f->isHidden());
        forms::setOptionValue(*dlg.Option3(0), -1);
        for (auto [k, f] : dlg.Frame6)
            QVERIFY(!f->isEnabled() && f->isHidden());
        QCOMPARE(forms::text(*dlg.txtSelectPanel(1)), QStringLiteral("on1.bmp"));

        forms::setCheckValue(*dlg.chkUseSeiriPrev, 1);
        for (QWidget *f : {static_cast<QWidget *>(dlg.Frame10), static_cast<QWidget *>(dlg.Frame7)})
            QVERIFY(f->isEnabled() && !f->isHidden());
        forms::setCheckValue(*dlg.chkUseSeiriPrev, 0);
        for (QWidget *f : {static_cast<QWidget *>(dlg.Frame10), static_cast<QWidget *>(dlg.Frame7)})
            QVERIFY(!f->isEnabled() && f->isHidden());
    }

    void groupsCanBeLeftWithoutSelection()
    {
        frmOption dlg;
        forms::setOptionValue(*dlg.Option2(0), 0);
        QCOMPARE(forms::optionValue(*dlg.Option2(0)), 0);
        QCOMPARE(forms::optionValue(*dlg.Option2(1)), 0);
        forms::setOptionValue(*dlg.Option2(1), -1);
        QCOMPARE(forms::optionValue(*dlg.Option2(0)), 0);
        // Groups stay apart: the other sound group keeps its choice.
        QCOMPARE(forms::optionValue(*dlg.Option2(2)), -1);
        forms::setOptionValue(*dlg.Option4(2), -1);
        QCOMPARE(forms::optionValue(*dlg.Option4(0)), 0);
        forms::setOptionValue(*dlg.Option4(2), 0);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(forms::optionValue(*dlg.Option4(i)), 0);
        // A user's click still selects within the emptied group.
        forms::setCheckValue(*dlg.chkUseSeiriPrev, 1);
        dlg.Option4(1)->click();
        QCOMPARE(forms::optionValue(*dlg.Option4(1)), -1);
    }

    void fileChoosersPassFilterAndTitle_data()
    {
        QTest::addColumn<bool>("sound");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("filter");
        const QStringList sounds = {QStringLiteral("Waveサウンド(*.wav)"), QStringLiteral("*.wav"),
                                    QStringLiteral("MP3サウンド(*.mp3)"), QStringLiteral("*.mp3"),
                                    QStringLiteral("MIDIシーケンス(*.mid)"), QStringLiteral("*.mid")};
        const QStringList images = {QStringLiteral("ビットマップ(*.bmp)"), QStringLiteral("*.bmp"),
                                    QStringLiteral("GIF画像(*.gif)"), QStringLiteral("*.gif"),
                                    QStringLiteral("JPEG画像(*.jpg)"), QStringLiteral("*.jpg")};
        QTest::newRow("route-set sound") << true << 0 << QStringLiteral("サウンドの選択") << sounds;
        QTest::newRow("step sound 3") << true << 10 << QStringLiteral("サウンドの選択") << sounds;
        QTest::newRow("ON2 picture") << false << 2 << QStringLiteral("パネル画像の選択") << images;
    }
    void fileChoosersPassFilterAndTitle()
    {
        QFETCH(bool, sound);
        QFETCH(int, index);
        QFETCH(QString, title);
        QFETCH(QStringList, filter);
        frmOption dlg;
        forms::setOptionValue(*dlg.Option3(1), -1); // the picture choosers are usable
        QLineEdit *box = sound ? dlg.txtSelectSound(index) : dlg.txtSelectPanel(index);
        QPushButton *button = sound ? dlg.cmdSelectSound(index) : dlg.Command6(index);
        forms::setText(*box, QStringLiteral("old.wav"));

        static QByteArray answer;
        QString seenTitle;
        QStringList seenFilter;
        void *seenOwner = nullptr;
        QString seenInitial = QStringLiteral("unset");
        kxp4::substitutes().Kx3FileDlg = [&](void *owner, int32_t, const char *f, const char *initial,
                                             const char *t) -> const char * {
            seenOwner = owner;
            seenFilter = filterElements(f);
            seenTitle = cp932::decodeC(t);
            seenInitial = cp932::decodeC(initial);
            return answer.constData();
        };
        answer.clear(); // cancelled
        button->click();
        QCOMPARE(seenTitle, title);
        QCOMPARE(seenFilter, filter);
        QCOMPARE(seenOwner, static_cast<void *>(&dlg));
        QCOMPARE(seenInitial, QString());
        QCOMPARE(forms::text(*box), QStringLiteral("old.wav"));

        answer = cp932::encode(QStringLiteral("C:\\音\\発車.wav"));
        button->click();
        QCOMPARE(forms::text(*box), QStringLiteral("C:\\音\\発車.wav"));
    }

    void folderChooserAndExplorer()
    {
        frmOption dlg;
        static QByteArray answer;
        QString seenTitle;
        kxp4::substitutes().Kx3FolderDlg = [&](void *, const char *t) -> const char * {
            seenTitle = cp932::decodeC(t);
            return answer.constData();
        };
        answer = cp932::encode(QStringLiteral("/data/運賃"));
        dlg.Command3(0)->click();
        QCOMPARE(seenTitle, QStringLiteral("フォルダーを選択してください"));
        QCOMPARE(forms::text(*dlg.Text2(0)), QStringLiteral("/data/運賃"));
        answer.clear();
        dlg.Command3(0)->click();
        QCOMPARE(forms::text(*dlg.Text2(0)), QStringLiteral("/data/運賃"));
        QCOMPARE(forms::text(*dlg.Text2(1)), QString());

        // The folder opens in the desktop; a relative one is taken from the program's folder.
        QStringList opened;
        platform::setShellOpenHandler([&](const QString &p) {
            opened << p;
            return false; // refused: stays silent
        });
        forms::setText(*dlg.Text2(1), QStringLiteral("tape"));
        dlg.Command10(0)->click();
        dlg.Command10(1)->click();
        QCOMPARE(opened, QStringList({QStringLiteral("/data/運賃"),
                                      QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tape"))}));
    }

    void dateChooser_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("day");
        QTest::addColumn<QString>("caption");
        QTest::newRow("5 March 2024") << 1 << 2024 << 3 << 5 << QStringLiteral("2024/03/05");
        QTest::newRow("year below 1000") << 1 << 987 << 12 << 31 << QStringLiteral("987/12/31");
        QTest::newRow("cancelled") << 0 << 2024 << 3 << 5 << QString();
    }
    void dateChooser()
    {
        QFETCH(int, answer);
        QFETCH(int, year);
        QFETCH(int, month);
        QFETCH(int, day);
        QFETCH(QString, caption);
        frmOption dlg;
        forms::setCheckValue(*dlg.chkUseSeiriPrev, 1);
        forms::setCaption(*dlg.Label10, QStringLiteral("2000/01/01"));
        kxp4::substitutes().Call_dlg111 = [&](void *, void *rec) {
            auto *t = static_cast<kxp4::SystemTime *>(rec);
            if (t->wYear || t->wMonth || t->wDay) // handed over zeroed
                return 0;
            t->wYear = int16_t(year);
            t->wMonth = int16_t(month);
            t->wDay = int16_t(day);
            return answer;
        };
        dlg.Command7->click();
        QCOMPARE(forms::caption(*dlg.Label10), caption.isEmpty() ? QStringLiteral("2000/01/01") : caption);
        QCOMPARE(dlg.Label10->accessibleDescription(), forms::caption(*dlg.Label10));
    }

    void colourChooserUsesTheCustomTableInPlace()
    {
        frmOption dlg;
        dlg.Form_Load();
        int32_t answer = 0x112233;
        bool confirm = true;
        QList<uint32_t> startColours;
        QList<int32_t> seenCustom0;
        kxp4::substitutes().Kx3ChooseColor = [&](void *, int32_t *colour, int32_t *custom) {
            startColours << uint32_t(*colour);
            seenCustom0 << custom[0];
            custom[0] = 0x445566; // the user adds a custom colour
            custom[16] = 7;
            if (confirm)
                *colour = answer;
            return confirm ? 1 : 0;
        };
        dlg.Command8(1)->click();
        QCOMPARE(forms::faceColor(*dlg.Command8(1)), 0x112233u);
        QCOMPARE(dlg.M_Degit1->BaseForeColor(), 0x112233u); // the preview follows at once
        QCOMPARE(dlg.CustomColors()[0], 0x445566);
        QCOMPARE(dlg.CustomColors()[16], 7);

        confirm = false;
        dlg.Command9(0)->click();
        QCOMPARE(forms::faceColor(*dlg.Command9(0)), 0x808080u);
        dlg.Command5(2)->click();
        QCOMPARE(forms::faceColor(*dlg.Command5(2)), 0x00C000u);
        QCOMPARE(startColours, QList<uint32_t>({0x969696u, 0x808080u, 0x00C000u}));
        QCOMPARE(seenCustom0, QList<int32_t>({0, 0x445566, 0x445566}));

        // Set from code, the preview follows too.
        forms::setFaceColor(*dlg.Command8(2), 0x0000FF);
        QCOMPARE(dlg.M_Degit1->DegitForeColor(), 0x0000FFu);
    }

    void clearButtonClearsOnlyThePlugin()
    {
        frmOption dlg;
        forms::setCheckValue(*dlg.chkUseSeiriPrev, 1);
        forms::setOptionValue(*dlg.Option4(2), -1);
        forms::setText(*dlg.txtSeiriPlgDir, QStringLiteral("ticket.4SP"));
        dlg.List1->addItems({QStringLiteral("日付"), QStringLiteral("会社名")});
        dlg.txtPlginComment->setPlainText(QStringLiteral("注意"));
        forms::setText(*dlg.txtSelectSound(0), QStringLiteral("a.wav"));
        dlg.Command11->click();
        QCOMPARE(forms::text(*dlg.txtSeiriPlgDir), QString());
        QCOMPARE(dlg.List1->count(), 0);
        QCOMPARE(dlg.txtPlginComment->toPlainText(), QString());
        QCOMPARE(forms::checkValue(*dlg.chkUseSeiriPrev), 1);
        QVERIFY(dlg.Frame10->isEnabled() && !dlg.Frame7->isHidden());
        QCOMPARE(forms::optionValue(*dlg.Option4(2)), -1);
        QCOMPARE(forms::text(*dlg.txtSelectSound(0)), QStringLiteral("a.wav"));
    }

    void frontPageAndSoundFrameSurviveHiding()
    {
        frmOption &dlg = windows::frmOption();
        QCOMPARE(dlg.frontPage(), 0);
        QCOMPARE(dlg.frontSoundFrame(), 1);
        dlg.show();
        dlg.Option1(4)->click();
        dlg.Option5(0)->click();
        QCOMPARE(dlg.frontPage(), 4);
        QVERIFY(dlg.Frame1(4)->isVisible() && !dlg.Frame1(0)->isVisible());
        QVERIFY(dlg.Frame2(0)->isVisible() && !dlg.Frame2(1)->isVisible());
        dlg.Command4->click();
        QVERIFY(dlg.isHidden());
        dlg.show();
        QCOMPARE(dlg.frontPage(), 4);
        QCOMPARE(dlg.frontSoundFrame(), 0);
        QVERIFY(dlg.Frame1(4)->isVisible() && dlg.Frame2(0)->isVisible());
        QCOMPARE(forms::optionValue(*dlg.Option1(4)), -1);
        QCOMPARE(forms::optionValue(*dlg.Option5(1)), 0);
    }

    // Tab walks each page as it reads, and reaches every control on it once.
    void tabFollowsReadingOrder_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("soundFrame");
        QTest::addColumn<bool>("otherChoices"); // every group's other button selected
        for (int page = 0; page < 6; ++page)
            QTest::newRow(qPrintable(QStringLiteral("page %1").arg(page))) << page << 1 << false;
        QTest::newRow("page 4, sound before an announcement") << 4 << 0 << false;
        QTest::newRow("page 1, other choices") << 1 << 1 << true;
        QTest::newRow("page 4, other choices") << 4 << 1 << true;
        QTest::newRow("page 4, announcement, other choices") << 4 << 0 << true;
        QTest::newRow("page 5, other choices") << 5 << 1 << true;
    }
    void tabFollowsReadingOrder()
    {
        QFETCH(int, page);
        QFETCH(int, soundFrame);
        QFETCH(bool, otherChoices);
        frmOption &dlg = windows::frmOption();
        showEverything(dlg);
        if (otherChoices)
            for (QRadioButton *b : {dlg.Option3(6), dlg.Option3(2), dlg.Option3(5), dlg.Option2(1), dlg.Option2(3),
                                    dlg.Option6(0), dlg.Option7(1), dlg.Option4(2)})
                forms::setOptionValue(*b, -1);
        dlg.show();
        QApplication::setActiveWindow(&dlg);
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        forms::setOptionValue(*dlg.Option1(page), -1);
        forms::setOptionValue(*dlg.Option5(soundFrame), -1);

        QSet<QWidget *> reachable;
        for (QWidget *w : dlg.Frame1(page)->findChildren<QWidget *>()) {
            bool inner = false; // part of a control that takes the focus itself
            for (QWidget *p = w->parentWidget(); p != dlg.Frame1(page); p = p->parentWidget())
                inner = inner || (p->focusPolicy() & Qt::TabFocus);
            // An option group is one stop, at its selected button.
            auto *b = qobject_cast<QAbstractButton *>(w);
            if (b && b->group() && b->group()->exclusive() && !b->isChecked())
                continue;
            if (!inner && (w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(&dlg) && w->isEnabled())
                reachable << w;
        }
        QVERIFY(reachable.size() >= 4);

        // From the page's button through the page to "OK".
        dlg.Option1(page)->setFocus(Qt::TabFocusReason);
        QList<QWidget *> walked;
        for (int n = 0; n < 200 && QApplication::focusWidget() != dlg.Command4; ++n) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            if (QApplication::focusWidget() != dlg.Command4)
                walked << QApplication::focusWidget();
        }
        QCOMPARE(QApplication::focusWidget(), dlg.Command4);
        QStringList names, missed;
        for (QWidget *w : walked)
            names << w->objectName();
        for (QWidget *w : reachable)
            if (!walked.contains(w))
                missed << w->objectName();
        QVERIFY2(missed.isEmpty() && walked.size() == reachable.size(),
                 qPrintable(names.join(u' ') + QStringLiteral(" / missed: ") + missed.join(u' ')));
        for (qsizetype k = 1; k < walked.size(); ++k)
            QVERIFY2(readsAfter(walked[k - 1], walked[k]),
                     qPrintable(walked[k - 1]->objectName() + QStringLiteral(" then ") + walked[k]->objectName()));
    }

    // A colour button's face is its colour, to the pixel, inside a thin frame.
    void colourButtonsShowTheirColourExactly_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<uint>("colour");
        QTest::addColumn<bool>("focused");
        QTest::newRow("ticket numbers OFF") << "Command5(0)" << 0x008000u << false;
        QTest::newRow("lit segments") << "Command8(2)" << 0x72D2F8u << false;
        QTest::newRow("unlit segments, focused") << "Command8(1)" << 0x969696u << true;
        QTest::newRow("stop-name text, white") << "Command9(1)" << 0xFFFFFFu << false;
        QTest::newRow("stop-name back, black, focused") << "Command9(0)" << 0x000000u << true;
    }
    void colourButtonsShowTheirColourExactly()
    {
        QFETCH(QString, control);
        QFETCH(uint, colour);
        QFETCH(bool, focused);
        frmOption &dlg = windows::frmOption();
        dlg.show();
        QApplication::setActiveWindow(&dlg);
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        auto *b = dlg.findChild<QPushButton *>(control);
        QVERIFY2(b, qPrintable(control));
        forms::setOptionValue(*dlg.Option1(control.startsWith(u"Command5") ? 1 : control.startsWith(u"Command8") ? 2 : 3), -1);
        forms::setFaceColor(*b, colour);
        if (focused) {
            b->setFocus(Qt::TabFocusReason);
            QTRY_VERIFY(b->hasFocus());
        }
        const QImage face = b->grab().toImage();
        const QRgb want = platform::fromOle(colour).rgb();
        const int frame = 2;
        int wrong = 0;
        for (int y = frame; y < face.height() - frame; ++y)
            for (int x = frame; x < face.width() - frame; ++x)
                wrong += face.pixel(x, y) != want;
        QCOMPARE(wrong, 0);
        QVERIFY(face.pixel(0, 0) != want && face.pixel(face.width() - 1, face.height() / 2) != want);
        QVERIFY(face.width() > 2 * frame + 20 && face.height() > 2 * frame + 10);
    }

    // Ten capability lines and ten lines of notes show whole; the pages keep
    // their controls inside them, and the sound page says what a synchronous
    // sound costs.
    void pagesHoldTheirControls()
    {
        frmOption &dlg = windows::frmOption();
        showEverything(dlg);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        forms::setOptionValue(*dlg.Option1(5), -1);
        QStringList lines;
        for (int i = 1; i <= 10; ++i)
            lines << QStringLiteral("プロパティ %1").arg(i);
        dlg.List1->addItems(lines);
        dlg.txtPlginComment->setPlainText(lines.join(u'\n'));
        QCoreApplication::processEvents();
        QVERIFY(!dlg.List1->verticalScrollBar()->isVisible());
        QVERIFY(dlg.List1->viewport()->rect().contains(dlg.List1->visualItemRect(dlg.List1->item(9))));
        QCOMPARE(dlg.txtPlginComment->verticalScrollBar()->maximum(), 0);

        for (auto [i, page] : dlg.Frame1)
            for (QObject *o : page->children())
                if (auto *w = qobject_cast<QWidget *>(o))
                    QVERIFY2(page->rect().contains(w->geometry()), qPrintable(w->objectName()));

        QCOMPARE(forms::caption(*dlg.lblSyncNote),
                 QStringLiteral("※同期再生のサウンドは鳴り終わるまで操作できませんので、短いものを指定してください。"));
        forms::setOptionValue(*dlg.Option1(4), -1);
        for (int frame : {0, 1}) {
            forms::setOptionValue(*dlg.Option5(frame), -1);
            QVERIFY(dlg.lblSyncNote->isVisible());
            QVERIFY(dlg.lblSyncNote->y() > dlg.Frame2(frame)->geometry().bottom());
        }
    }

    // Every box whose text the settings file stores holds what that file can
    // (65535 bytes of code page 932), and no more from the keyboard.
    void storedTextBoxesHoldWhatTheFileHolds_data()
    {
        QTest::addColumn<QString>("box");
        for (const char *b : {"Text2(0)", "Text2(1)", "txtSelectPanel(0)", "txtSelectPanel(1)", "txtSelectPanel(2)",
                              "txtSeiriPlgDir"})
            QTest::newRow(b) << QString::fromLatin1(b);
        for (int i : {0, 1, 3, 4, 5, 6, 7, 8, 9, 10})
            QTest::newRow(qPrintable(QStringLiteral("txtSelectSound(%1)").arg(i)))
                << QStringLiteral("txtSelectSound(%1)").arg(i);
    }
    void storedTextBoxesHoldWhatTheFileHolds()
    {
        QFETCH(QString, box);
        frmOption dlg;
        auto *t = dlg.findChild<QLineEdit *>(box);
        QVERIFY2(t, qPrintable(box));
        const QString full(storedtext::kMaxBytes, u'a');
        forms::setText(*t, full);
        QCOMPARE(forms::text(*t).size(), storedtext::kMaxBytes);
        t->end(false);
        t->insert(QStringLiteral("b"));
        QCOMPARE(forms::text(*t), full);
        // Two-byte characters: 32767 of them and one more byte.
        const QString kanji = QString(storedtext::kMaxBytes / 2, u'駅') + u'1';
        forms::setText(*t, kanji);
        QCOMPARE(forms::text(*t), kanji);
    }

    // Typing and pasting at the limit, in a box as the user meets it.
    void typingAndPastingStopAtTheLimit()
    {
        frmOption &dlg = windows::frmOption();
        dlg.show();
        QApplication::setActiveWindow(&dlg);
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        QLineEdit *t = dlg.Text2(0);
        t->setFocus();
        const QString start = QString(storedtext::kMaxBytes - 5, u'x');
        forms::setText(*t, start);
        t->home(false);
        QTest::keyClicks(t, QStringLiteral("abc"));
        QCOMPARE(forms::text(*t), QStringLiteral("abc") + start);
        t->insert(QStringLiteral("駅駅")); // one of them fits
        QCOMPARE(forms::text(*t), QStringLiteral("abc駅") + start);
        QCOMPARE(t->cursorPosition(), 4);
        QTest::keyClick(t, Qt::Key_D);
        QCOMPARE(storedtext::byteCount(forms::text(*t)), storedtext::kMaxBytes);
        QCOMPARE(forms::text(*t), QStringLiteral("abc駅") + start);
        // Room made by deleting takes the next characters again.
        QTest::keyClick(t, Qt::Key_Backspace);
        QTest::keyClicks(t, QStringLiteral("de"));
        QCOMPARE(forms::text(*t), QStringLiteral("abcde") + start);
    }

    void closingKeepsEveryValue()
    {
        frmOption &dlg = windows::frmOption();
        QCOMPARE(&windows::frmOption(), &dlg);
        QPointer<frmOption> alive(&dlg);
        dlg.show();
        forms::setText(*dlg.txtSelectSound(7), QStringLiteral("step.wav"));
        forms::setListIndex(*dlg.Combo4(4), 149);
        forms::setCheckValue(*dlg.Check4, 1);
        QVERIFY(dlg.close()); // the title bar's close box
        QVERIFY(alive && dlg.isHidden());
        dlg.show();
        QTest::keyClick(&dlg, Qt::Key_Escape);
        QVERIFY(alive && dlg.isHidden());
        QCOMPARE(forms::text(*dlg.txtSelectSound(7)), QStringLiteral("step.wav"));
        QCOMPARE(forms::listIndex(*dlg.Combo4(4)), 149);
        QCOMPARE(forms::checkValue(*dlg.Check4), 1);
        QCOMPARE(dlg.Combo2->count(), 12); // loaded once, not again
    }
};

QTEST_MAIN(TestOptions)
#include "test_options.moc"
