// The settings file through the real windows: the first run, a save and a
// new start that finds everything as it was left, failures that keep the old
// file, and a damaged or short file at start.
#include "console/frmCtl.h"
#include "core/IniData.h"
#include "forms/Values.h"
#include "forms/Windows.h"
#include "options/frmOption.h"
#include "panel/Form1.h"
#include "settings/mdlIniIo.h"
#include "tests/Fixture.h"

#include <QSaveFile>
#include <QtTest>

class TestSettings : public QObject {
    Q_OBJECT
    fixture::Windows m_w;
    QStringList &m_boxes = m_w.boxes;

    QString path(const char *name = "427.in4") const { return m_w.path(QString::fromLatin1(name)); }
    static QByteArray bytesOf(const QString &p) { return fixture::bytesOf(p); }
    static void write(const QString &p, const QByteArray &b) { QVERIFY(fixture::put(p, b)); }
    // A new start of the program, reading the file at `p`.
    void restart(const QString &p)
    {
        windows::unloadAll();
        mdlIniIo::setSettingsPath(p);
        windows::Form1();
    }

private slots:
    void init() { m_w.begin(); }
    void cleanup() { m_w.end(); }

    void firstRunIsSilentAndTheExitCreatesTheFile()
    {
        restart(path());
        QCOMPARE(m_boxes, QStringList());
        mdlIniIo::SaveIni();
        QCOMPARE(m_boxes, QStringList());
        // Every text empty but the fixed date "yyyy/mm/dd".
        QCOMPARE(bytesOf(path()).size(), 598 + 10);
    }

    // Saved, started anew and saved again: the two files are the same bytes,
    // and the windows show what was left.
    void everythingSurvivesARestart()
    {
        restart(path());
        frmOption &o = windows::frmOption();
        frmCtl &c = windows::frmCtl();
        Form1 &p = windows::Form1();
        forms::setText(*o.Text2(0), QStringLiteral("運賃データ"));
        forms::setListIndex(*o.Combo2, 7);
        forms::setCheckValue(*o.Check2, 1);
        forms::setOptionValue(*o.Option2(1), -1);
        forms::setListIndex(*o.Combo1, 42);
        forms::setFaceColor(*o.Command8(2), 0x0000FF00);
        forms::setListIndex(*o.Combo3, 2);
        o.CustomColors()[16] = 0x00123456;
        c.HScroll1(0)->setValue(321);
        c.HScroll1(1)->setValue(2000);
        c.Frame1_DblClick(1);
        forms::setCheckValue(*c.Check2, 1);
        c.Check4->setChecked(true);
        c.move(300, 200);
        p.move(45, 60);
        p.Degit(17)->setZeroMode(3);
        p.Degit(17)->setShift(1);
        p.Degit(60)->setFillZero(4);
        mdlIniIo::SaveIni();
        const QByteArray saved = bytesOf(path());

        restart(path());
        QCOMPARE(m_boxes, QStringList());
        frmOption &o2 = windows::frmOption();
        frmCtl &c2 = windows::frmCtl();
        Form1 &p2 = windows::Form1();
        QCOMPARE(forms::text(*o2.Text2(0)), QStringLiteral("運賃データ"));
        QCOMPARE(int(forms::optionValue(*o2.Option2(0))), 0);
        QCOMPARE(int(forms::listIndex(*o2.Combo1)), 42);
        QCOMPARE(o2.CustomColors()[16], 0x00123456);
        QCOMPARE(c2.HScroll1(0)->value(), 321);
        QCOMPARE(int(p2.ChimeiCtl()->Speed()), 321);
        QCOMPARE(int(c2.InputMode), 1);
        QVERIFY(c2.Check4->isChecked());
        QCOMPARE(c2.pos(), QPoint(300, 200));
        QCOMPARE(p2.pos(), QPoint(45, 60));
        QCOMPARE(int(p2.Degit(17)->ZeroMode()), 3);
        QCOMPARE(int(p2.Degit(60)->FillZero()), 4);
        QCOMPARE(p2.Degit(5)->DegitForeColor(), 0x0000FF00u);
        QCOMPARE(p2.lblSeiriNum(1)->text(), QStringLiteral("券なし"));
        for (int i = 1; i <= 60; ++i)
            QCOMPARE(p2.Degit(i)->Value().toString(), QStringLiteral(" "));
        mdlIniIo::setSettingsPath(path("again.in4"));
        mdlIniIo::SaveIni();
        QCOMPARE(bytesOf(path("again.in4")), saved);
    }

    void aFailedSaveKeepsTheOldFile()
    {
        const QByteArray old("the settings of yesterday");
        write(path(), old);
        restart(path("none.in4")); // nothing read: the defaults
        mdlIniIo::setSettingsPath(path());
        mdlIniIo::setCommitHook([](QSaveFile &f) {
            f.cancelWriting(); // as if the disk filled up before the end
            return f.commit();
        });
        mdlIniIo::SaveIni();
        QCOMPARE(bytesOf(path()), old);
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY(m_boxes[0].startsWith(QStringLiteral("エラー Code:")));
        QCOMPARE(m_boxes[0].count(QStringLiteral("\r\n")), 1); // two lines, no module line
        QVERIFY(!m_boxes[0].contains(QStringLiteral("モジュール")));

        m_boxes.clear();
        mdlIniIo::setCommitHook({});
        mdlIniIo::setSettingsPath(path() + QStringLiteral("/inside.in4")); // a file is no folder
        mdlIniIo::SaveIni();
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(bytesOf(path()), old);
    }

    void aDamagedFileStopsAtItsFieldAndSaysSo()
    {
        IniData d;
        d.FareDataDir = QStringLiteral("C:\\運賃");
        d.SeiriNumStyle = 99; // not in the list
        write(path(), ini::writeIni(d));
        restart(path());
        QCOMPARE(m_boxes, QStringList{QStringLiteral("エラー Code:380\r\n内容:プロパティの値が不正です。\r\nモジュール:mdlIniIo.LoadIni()")});
        frmOption &o = windows::frmOption();
        QCOMPARE(forms::text(*o.Text2(0)), QStringLiteral("C:\\運賃")); // applied before the failure
        QCOMPARE(int(forms::listIndex(*o.Combo2)), 0);                  // kept its start value
        QCOMPARE(windows::Form1().Degit(1)->Value().toString(), QStringLiteral(" "));
    }

    void aShortFileReadsAsZeros()
    {
        IniData d;
        d.FareDataDir = QStringLiteral("data");
        write(path(), ini::writeIni(d).left(40));
        restart(path());
        QCOMPARE(m_boxes, QStringList());
        QCOMPARE(forms::text(*windows::frmOption().Text2(0)), QStringLiteral("data"));
        QCOMPARE(windows::Form1().pos(), QPoint(0, 0));
    }
};

QTEST_MAIN(TestSettings)
#include "test_settings.moc"
