// The options to and from the settings record, and onto the panel: the
// field table, the round trip, option groups, refused list indexes, the
// ticket-number schemes and what SetProp changes on the board.
#include "console/frmCtl.h"
#include "core/FontNames.h"
#include "core/IniData.h"
#include "core/VbError.h"
#include "forms/Values.h"
#include "forms/Windows.h"
#include "options/OptionTable.h"
#include "options/frmOption.h"
#include "panel/Form1.h"
#include "tests/Fixture.h"
#include "windows/mdl427_000.h"

#include <QtTest>

namespace {

using options::Kind;

QString fieldText(const IniData &d, const options::OptionField &f)
{
    return std::visit([&d](auto m) { return QVariant::fromValue(d.*m).toString(); }, f.member);
}

// A record unlike the start values in every field, each option group
// choosing its other button.
IniData changedRecord(const IniData &start)
{
    IniData d = start;
    int n = 0;
    for (const options::OptionField &f : options::allOptionFields()) {
        ++n;
        std::visit(
            [&](auto m) {
                auto &v = d.*m;
                using T = std::decay_t<decltype(v)>;
                if constexpr (std::is_same_v<T, QString>)
                    v = QStringLiteral("路線%1～").arg(n);
                else if constexpr (std::is_same_v<T, int32_t>)
                    v = int32_t(0x00010203 * n) & 0x00FFFFFF;
                else if (f.kind == Kind::Check)
                    v = int16_t(v == 1 ? 0 : 1);
                else if (f.kind == Kind::List)
                    v = int16_t(n % 5 + 1);
                else
                    v = int16_t(v ? 0 : -1);
            },
            f.member);
    }
    d.SeiriDateFixed = 0; // a group of three: choose the second
    d.SeiriDateAuto = 0;
    d.SeiriDateKeep = -1;
    return d;
}

} // namespace

class TestTransfer : public QObject {
    Q_OBJECT
    fixture::Windows m_w;
    QStringList &m_boxes = m_w.boxes;

    frmOption &options() { return windows::frmOption(); }
    Form1 &panel() { return windows::Form1(); }

private slots:
    void init()
    {
        m_w.begin();
        panel();
    }
    void cleanup() { m_w.end(); }

    // The table names real controls of the right kind, and holds the record's
    // first 61 fields in file order but for the two documented swaps.
    void tableMatchesTheDialogAndTheRecord()
    {
        QStringList visited, kinds;
        for (const options::OptionField &f : options::allOptionFields()) {
            QWidget *w = options::controlOf(options(), f);
            QVERIFY2(w, f.control);
            visited << QString::fromLatin1(f.field);
        }
        QStringList fileOrder;
        IniData d;
        ini::visitFields(d, [&fileOrder](const char *name, auto &) { fileOrder << QString::fromLatin1(name); });
        fileOrder = fileOrder.mid(0, 61);
        QStringList expected = fileOrder;
        for (const char *sync : {"StepSoundSync", "TapeSoundSync"}) {
            const qsizetype at = expected.indexOf(QLatin1String(sync));
            expected.move(at, at - 2);
            expected.move(at + 1, at - 1);
        }
        QCOMPARE(visited, expected);
    }

    void startValuesAfterThePanelSetup()
    {
        IniData d;
        options().GetOptionInfo(d);
        QCOMPARE(int(d.UseSeiriNumAuto), 1);
        QCOMPARE(d.SeiriNumColorOff, 0x008000);
        QCOMPARE(d.SeiriNumColorOn1, 0x00C000);
        QCOMPARE(d.SeiriNumColorOn2, 0x00C000);
        QCOMPARE(int(d.ChimeiFontMode), -1);
        QCOMPARE(int(panel().ChimeiCtl()->FontMode()), -1);
        QCOMPARE(int(d.StepSoundAlways), -1);
        QCOMPARE(int(d.StepSoundAsync), -1);
    }

    void recordToControlsToRecordIsTheIdentity()
    {
        IniData start;
        options().GetOptionInfo(start);
        const IniData d = changedRecord(start);
        options().SetOptionInfo(d);
        IniData back;
        options().GetOptionInfo(back);
        for (const options::OptionField &f : options::allOptionFields())
            QVERIFY2(fieldText(back, f) == fieldText(d, f), f.field);
        // The handlers ran: the preview digit and the dependent frames follow.
        QCOMPARE(options().M_Degit1->BackColor(), uint32_t(d.DegitBackColor));
        QCOMPARE(options().Frame6(0)->isEnabled(), d.PanelIndividual == -1);
    }

    void optionGroupsTakeTheLaterOrNone()
    {
        IniData d;
        options().GetOptionInfo(d);
        d.StepSoundAlways = -1, d.StepSoundByColumn = -1; // both: the later wins
        d.TapeSoundAlways = 0, d.TapeSoundByFlag = 0;     // neither: none selected
        options().SetOptionInfo(d);
        QCOMPARE(int(forms::optionValue(*options().Option2(0))), 0);
        QCOMPARE(int(forms::optionValue(*options().Option2(1))), -1);
        QCOMPARE(int(forms::optionValue(*options().Option2(2))), 0);
        QCOMPARE(int(forms::optionValue(*options().Option2(3))), 0);
    }

    void aListIndexOutsideItsListEndsTheTransfer()
    {
        IniData d;
        options().GetOptionInfo(d);
        d.InfoStopOrderKoma = 60; // cells 1..60 are indexes 0..59
        d.InfoSeiriNumOn = 1;     // after it: never reached
        d.DegitLitColor = 0x123456; // before it: applied
        int number = 0;
        try {
            options().SetOptionInfo(d);
        } catch (const vb::Error &e) {
            number = e.number();
        }
        QCOMPARE(number, 380);
        QCOMPARE(forms::faceColor(*options().Command8(2)), 0x123456u);
        QCOMPARE(int(forms::checkValue(*options().Check3(1))), 0);
        d.InfoStopOrderKoma = -1; // no selection is a value like any other
        options().SetOptionInfo(d);
        QCOMPARE(int(forms::listIndex(*options().Combo4(0))), -1);
    }

    void schemes_data()
    {
        QTest::addColumn<int>("scheme");
        QTest::addColumn<int>("pad");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("last");
        QTest::addColumn<bool>("wordFont");
        QTest::newRow("0") << 0 << 0 << "１" << "２" << "６０" << false;
        QTest::newRow("0 padded") << 0 << 1 << "０１" << "０２" << "６０" << false;
        QTest::newRow("1 padded") << 1 << 1 << "００" << "０１" << "５９" << false;
        QTest::newRow("2") << 2 << 0 << "な し" << "１" << "５９" << true;
        QTest::newRow("3") << 3 << 0 << "な し" << "２" << "６０" << true;
        QTest::newRow("4 padded") << 4 << 1 << "無 券" << "０１" << "５９" << true;
        QTest::newRow("5") << 5 << 0 << "無 券" << "２" << "６０" << true;
        QTest::newRow("6") << 6 << 0 << "券なし" << "１" << "５９" << true;
        QTest::newRow("7 padded") << 7 << 1 << "券なし" << "０２" << "６０" << true;
        QTest::newRow("8") << 8 << 0 << "券無し" << "１" << "５９" << true;
        QTest::newRow("9") << 9 << 0 << "券無し" << "２" << "６０" << true;
        QTest::newRow("10") << 10 << 0 << "" << "１" << "５９" << true;
        QTest::newRow("11") << 11 << 0 << "" << "２" << "６０" << true;
    }
    void schemes()
    {
        QFETCH(int, scheme);
        QFETCH(int, pad);
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QString, last);
        QFETCH(bool, wordFont);
        forms::setListIndex(*options().Combo2, scheme);
        forms::setCheckValue(*options().Check2, pad);
        options().Command4_Click();
        QCOMPARE(panel().lblSeiriNum(1)->text(), first);
        QCOMPARE(panel().lblSeiriNum(2)->text(), second);
        QCOMPARE(panel().lblSeiriNum(60)->text(), last);
        QCOMPARE(panel().lblSeiriNum(1)->font().family(), wordFont ? fonts::msPGothic() : fonts::labelFace());
        QVERIFY(!options().isVisible());
    }

    void schemesOutsideTheList()
    {
        Form1 &p = panel();
        mdl427_000::SeirikenNumSet(p, 5, 0);
        mdl427_000::SeirikenNumSet(p, -1, 1); // only label 1's font changes
        QCOMPARE(p.lblSeiriNum(1)->text(), QStringLiteral("無 券"));
        QCOMPARE(p.lblSeiriNum(2)->text(), QStringLiteral("２"));
        QCOMPARE(p.lblSeiriNum(1)->font().family(), fonts::labelFace());
        mdl427_000::SeirikenNumSet(p, 12, 0); // label 1 emptied, the rest kept
        QCOMPARE(p.lblSeiriNum(1)->text(), QString());
        QCOMPARE(p.lblSeiriNum(60)->text(), QStringLiteral("６０"));
    }

    void aFailingCaptionIsReportedAndTheRowStops()
    {
        int written = 0;
        mdl427_000::setCaptionWriter([&written](QLabel &l, const QString &t) {
            if (++written == 3)
                vb::raise(vb::ErrOutOfMemory);
            l.setText(t);
        });
        mdl427_000::SeirikenNumSet(panel(), 0, 1);
        QCOMPARE(written, 3);
        QCOMPARE(panel().lblSeiriNum(2)->text(), QStringLiteral("０２"));
        QCOMPARE(panel().lblSeiriNum(3)->text(), QStringLiteral("３")); // kept what it had
        QCOMPARE(m_boxes, QStringList{QStringLiteral("エラーです！\r\n\r\nコード：7\r\n\r\n内容：メモリが不足しています。"
                                                      "\r\n\r\nモジュール：IniIO-SeirikenNumSet( )")});
    }

    void setPropColoursTheBoard()
    {
        frmOption &o = options();
        forms::setFaceColor(*o.Command8(0), 0x000010);
        forms::setFaceColor(*o.Command8(1), 0x000020);
        forms::setFaceColor(*o.Command8(2), 0x000030);
        forms::setFaceColor(*o.Command9(0), 0x101010);
        forms::setFaceColor(*o.Command9(1), 0x00FF00);
        forms::setListIndex(*o.Combo3, 3);
        forms::setCheckValue(*o.Check4, 1);
        forms::setCheckValue(*o.Check1, 0);
        forms::setFaceColor(*o.Command5(1), 0x0000FF);
        forms::setOptionValue(*windows::frmCtl().Option4(1), -1);
        const uint32_t zeroBack = panel().Degit(0)->BackColor();
        o.SetProp();
        Form1 &p = panel();
        for (int i = 1; i <= 60; ++i) {
            QVERIFY(p.lblSeiriNum(i)->isHidden());
            QCOMPARE(p.Degit(i)->BackColor(), 0x10u);
            QCOMPARE(p.Degit(i)->BaseForeColor(), 0x20u);
            QCOMPARE(p.Degit(i)->DegitForeColor(), 0x30u);
            QCOMPARE(p.lblSeiriNum(i)->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        }
        for (int i = 0; i < 2; ++i)
            QCOMPARE(p.TimeDegit(i)->DegitForeColor(), 0x30u);
        QCOMPARE(p.Degit(0)->BackColor(), zeroBack);
        QCOMPARE(p.ChimeiCtl()->BackColor(), 0x101010u);
        QCOMPARE(p.ChimeiCtl()->ForeColor(), 0x00FF00u);
        QCOMPARE(int(p.ChimeiCtl()->FontMode()), 3);
        QVERIFY(p.ChimeiCtl()->FontBold());
        forms::setCheckValue(*o.Check1, 1);
        o.SetProp();
        QVERIFY(!p.lblSeiriNum(60)->isHidden());
    }
};

QTEST_MAIN(TestTransfer)
#include "test_transfer.moc"
