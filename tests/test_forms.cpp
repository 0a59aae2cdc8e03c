// The forms kit: the value conventions of each kind of control, control
// arrays, handlers that run for changes made from code, and window accessors.
#include "core/VbError.h"
#include "forms/ControlArray.h"
#include "forms/Handlers.h"
#include "forms/Values.h"
#include "forms/Windows.h"
#include "platform/MsgBox.h"
#include "tests/ErrorOf.h"

#include <QButtonGroup>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

namespace {

// A window that records its loads and may call back into its own accessor.
struct ProbeWindow : QWidget {
    static inline int loads = 0;
    static inline bool fail = false;
    static inline ProbeWindow *seenInsideLoad = nullptr;
    ProbeWindow() { windows::adopt(windows::Id::Options, this); }
    void Form_Load();
};
ProbeWindow &probe() { return windows::detail::load<ProbeWindow>(windows::Id::Options); }
void ProbeWindow::Form_Load()
{
    ++loads;
    seenInsideLoad = &probe();
    if (fail)
        vb::raise(vb::ErrFileNotFound);
}

} // namespace

class TestForms : public QObject {
    Q_OBJECT
private slots:
    void cleanup()
    {
        windows::unloadAll();
        platform::setMsgBoxHandler({});
    }

    void checkBoxCountsGrayedAsTwo()
    {
        QCheckBox box;
        for (const auto &[value, state] : {std::pair{1, Qt::Checked}, {2, Qt::PartiallyChecked}, {0, Qt::Unchecked}}) {
            forms::setCheckValue(box, value);
            QCOMPARE(box.checkState(), state);
            QCOMPARE(forms::checkValue(box), int16_t(value));
        }
        box.setCheckState(Qt::PartiallyChecked);
        QCOMPARE(forms::checkValue(box), int16_t(2));
        for (int bad : {-1, 3})
            QCOMPARE(errorOf([&] { forms::setCheckValue(box, bad); }), 380);
        QCOMPARE(forms::checkValue(box), int16_t(2)); // a refused value changes nothing
    }

    // Both kinds of exclusive group can be left with none selected.
    void optionGroupCanBeLeftEmpty()
    {
        QWidget parent;
        QRadioButton a(&parent), b(&parent);
        QPushButton p(&parent), q(&parent);
        p.setCheckable(true), q.setCheckable(true);
        QButtonGroup group;
        group.addButton(&p), group.addButton(&q);
        for (auto [first, second] : {std::pair<QAbstractButton *, QAbstractButton *>{&a, &b}, {&p, &q}}) {
            forms::setOptionValue(*first, -1);
            forms::setOptionValue(*second, 1); // any non-zero selects
            QCOMPARE(forms::optionValue(*first), int16_t(0));
            QCOMPARE(forms::optionValue(*second), int16_t(-1));
            forms::setOptionValue(*second, 0);
            QCOMPARE(forms::optionValue(*first), int16_t(0));
            QCOMPARE(forms::optionValue(*second), int16_t(0));
            forms::setOptionValue(*first, -1); // still exclusive afterwards
            forms::setOptionValue(*second, -1);
            QCOMPARE(forms::optionValue(*first), int16_t(0));
        }
    }

    void listIndexRefusesWhatTheListDoesNotHold()
    {
        QComboBox box;
        box.addItems({QStringLiteral("1"), QStringLiteral("2")});
        forms::setListIndex(box, -1);
        QCOMPARE(forms::listIndex(box), int16_t(-1));
        forms::setListIndex(box, 1);
        QCOMPARE(forms::listIndex(box), int16_t(1));
        for (int bad : {2, -2})
            QCOMPARE(errorOf([&] { forms::setListIndex(box, bad); }), 380);
        QCOMPARE(forms::listIndex(box), int16_t(1));
        QListWidget list;
        QCOMPARE(errorOf([&] { forms::setListIndex(list, 0); }), 380);
    }

    void faceColourIsRedInTheLowByte()
    {
        QPushButton b;
        forms::setFaceColor(b, 0x00C08040);
        QCOMPARE(forms::faceColor(b), 0x00C08040u);
        QCOMPARE(b.palette().color(QPalette::Button), QColor(0x40, 0x80, 0xC0));
        QLabel l;
        forms::setCaption(l, QStringLiteral("2024/03/05"));
        QCOMPARE(forms::caption(l), QStringLiteral("2024/03/05"));
        QCOMPARE(l.accessibleDescription(), QStringLiteral("2024/03/05"));
    }

    void arraysAreAddressedByTheirOwnIndexes()
    {
        QWidget parent;
        forms::ControlArray<QLineEdit> txt(QStringLiteral("txtSelectSound"));
        forms::ControlArray<QCheckBox> chk(QStringLiteral("Check3"));
        for (int i : {0, 1, 3})
            txt.add(i, new QLineEdit(&parent));
        chk.add(4, new QCheckBox(QStringLiteral("0から数える"), &parent));
        QCOMPARE(txt(3)->objectName(), QStringLiteral("txtSelectSound(3)"));
        QCOMPARE(txt(3)->accessibleName(), QStringLiteral("txtSelectSound(3)"));
        QCOMPARE(chk(4)->objectName(), QStringLiteral("Check3(4)"));
        QVERIFY(chk(4)->accessibleName().isEmpty()); // known by its caption
        QCOMPARE(errorOf([&] { txt(2); }), 9);
        QCOMPARE(errorOf([&] { txt(4); }), 9);
        QCOMPARE(txt.LBound(), 0);
        QCOMPARE(txt.UBound(), 3);
        QCOMPARE(txt.count(), 3);
    }

    // Setting a value from code has the user's effect: its handler runs.
    void handlersRunForChangesFromCode()
    {
        QWidget parent;
        QStringList seen;
        QCheckBox chk;
        QComboBox combo;
        combo.addItems({QStringLiteral("a"), QStringLiteral("b")});
        QLineEdit text;
        forms::ControlArray<QRadioButton> opt(QStringLiteral("Option3"));
        opt.add(0, new QRadioButton(&parent));
        opt.add(1, new QRadioButton(&parent));
        forms::onChange(&chk, [&] { seen << QStringLiteral("chk %1").arg(forms::checkValue(chk)); });
        forms::onChange(&combo, [&] { seen << QStringLiteral("combo %1").arg(forms::listIndex(combo)); });
        forms::onChange(&text, [&] { seen << QStringLiteral("text ") + text.text(); });
        forms::onSelected(opt, [&](int Index) { seen << QStringLiteral("opt %1").arg(Index); });

        forms::setCheckValue(chk, 1);
        forms::setListIndex(combo, 1);
        forms::setText(text, QStringLiteral("x"));
        forms::setOptionValue(*opt(1), -1);
        forms::setOptionValue(*opt(0), -1); // 1 is deselected: only 0 reports
        forms::setOptionValue(*opt(0), 0);  // cleared: nobody reports
        QCOMPARE(seen, QStringList({"chk 1", "combo 1", "text x", "opt 1", "opt 0"}));
    }

    void anEscapingErrorEndsInTheGeneralReport()
    {
        QStringList prompts;
        platform::setMsgBoxHandler([&](const platform::MsgBoxRequest &r) {
            prompts << r.prompt;
            return int(platform::vbOK);
        });
        QCheckBox chk;
        QPushButton cmd;
        forms::onChange(&chk, [] { vb::raise(vb::ErrFileNotFound); });
        forms::onClick(&cmd, [] { throw std::bad_alloc(); });
        forms::setCheckValue(chk, 1); // returns normally
        cmd.click();
        QCOMPARE(prompts.size(), 2);
        QVERIFY(prompts[0].startsWith(QStringLiteral("実行時エラー '53':")));
        QVERIFY(prompts[1].startsWith(QStringLiteral("実行時エラー '7':")));
    }

    void aWindowIsLoadedOnceAndOnlyWhenItsLoadSucceeds()
    {
        ProbeWindow::loads = 0;
        ProbeWindow::fail = true;
        QCOMPARE(errorOf([] { probe(); }), 53);
        QVERIFY(!windows::loaded(windows::Id::Options));

        ProbeWindow::fail = false;
        ProbeWindow &w = probe();
        QCOMPARE(ProbeWindow::seenInsideLoad, &w); // its load already finds it
        QCOMPARE(&probe(), &w);
        QCOMPARE(ProbeWindow::loads, 2);
        QVERIFY(!w.isVisible());
        windows::unloadAll();
        QVERIFY(!windows::loaded(windows::Id::Options));

        ProbeWindow own; // built directly: it is the loaded one while it lives
        QCOMPARE(&probe(), &own);
        QCOMPARE(ProbeWindow::loads, 2);
    }
};

QTEST_MAIN(TestForms)
#include "test_forms.moc"
