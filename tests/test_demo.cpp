// The demo ride as a new user gets it: its settings load without a message,
// every file they name is there, and route 12 rides with its sounds.
#include "console/frmCtl.h"
#include "core/IniData.h"
#include "forms/Values.h"
#include "forms/Windows.h"
#include "options/frmOption.h"
#include "panel/Form1.h"
#include "platform/Paths.h"
#include "sound/mdlM_Tape.h"
#include "tests/Fixture.h"

#include <QDir>
#include <QProcess>
#include <QtTest>

class TestDemo : public QObject {
    Q_OBJECT
    fixture::Windows m_w;
    QStringList &m_boxes = m_w.boxes;
    QStringList &m_mci = m_w.mci;
    const QString m_settings = QStringLiteral(S4_DEMO_OUT "/demo.in4");

private slots:
    void init() { m_w.begin(); }
    void cleanup() { m_w.end(); }

    // Each program answers --help and --version with no display to open.
    void helpWithoutADisplay_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("flag");
        for (const char *p : {"427", "soratobi4-route", "soratobi4-ctl"})
            for (const char *f : {"--help", "--version"})
                QTest::addRow("%s %s", p, f) << QString::fromLatin1(p) << QString::fromLatin1(f);
    }
    void helpWithoutADisplay()
    {
        QFETCH(QString, program);
        QFETCH(QString, flag);
        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        run.setProcessEnvironment(env);
        run.start(QStringLiteral(S4_BIN "/") + program, {flag});
        QVERIFY(run.waitForFinished(20000));
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.exitCode(), 0);
        const QString said = QString::fromUtf8(run.readAllStandardOutput());
        QVERIFY2(said.contains(flag == u"--help" ? QStringLiteral("usage") : QStringLiteral(" 4."), Qt::CaseInsensitive), qPrintable(said));
    }

    void settingsNameFilesThatExist()
    {
        QFile f(m_settings);
        QVERIFY(f.open(QIODevice::ReadOnly));
        IniData d = ini::readIni(f.readAll());
        // Relative to this program's folder, which is the simulator's too.
        QCOMPARE(QCoreApplication::applicationDirPath(), QStringLiteral(S4_BIN));
        QStringList named;
        ini::visitFields(d, [&named](const char *name, auto &value) {
            if constexpr (std::is_same_v<std::decay_t<decltype(value)>, QString>)
                if (!value.isEmpty() && QByteArrayView(name) != "SeiriFixedDate")
                    named << value;
        });
        QCOMPARE(named.size(), 10);
        for (const QString &p : named) {
            const bool dir = p.endsWith(u'/');
            QVERIFY2(dir ? QDir(QDir(S4_BIN).filePath(p)).exists() : !platform::findFile(p).isEmpty(), qPrintable(p));
        }
        for (const char *name : {"12.hy3", "12tp.csv"})
            QVERIFY(!platform::findFile(d.FareDataDir + QLatin1String(name)).isEmpty());

        // One selected button in each group, lists within their lists.
        const int16_t groups[][3] = {
            {d.PanelAutoAssign, d.PanelIndividual, 0},     {d.PanelOffBuiltin, d.PanelOffUser, 0},
            {d.PanelOn1Builtin, d.PanelOn1User, 0},        {d.PanelOn2Builtin, d.PanelOn2User, 0},
            {d.StepSoundAlways, d.StepSoundByColumn, 0},   {d.StepSoundSync, d.StepSoundAsync, 0},
            {d.TapeSoundAlways, d.TapeSoundByFlag, 0},     {d.TapeSoundSync, d.TapeSoundAsync, 0},
            {d.SeiriDateAuto, d.SeiriDateKeep, d.SeiriDateFixed},
        };
        for (const auto &g : groups)
            QCOMPARE(g[0] + g[1] + g[2], -1);
        QVERIFY(QDate::fromString(d.SeiriFixedDate, QStringLiteral("yyyy/MM/dd")).isValid());
    }

    // Route 12, section 1, reset, and on: fares, names, chimes and ticket.
    void theDemoRides()
    {
        // A copy: whatever the ride would save never reaches the build's demo.
        QVERIFY(QFile::copy(m_settings, m_w.settingsPath()));
        Form1 &panel = windows::Form1();
        QCOMPARE(m_boxes, QStringList());
        frmOption &o = windows::frmOption();
        QCOMPARE(forms::checkValue(*o.chkUseSeiriPrev), 1);
        frmCtl &console = windows::frmCtl();
        for (int key : {10, 1, 2, 11, 1}) // 系統 1 2 区間 1
            console.CommandButton1_Click(key);
        console.Command1_Click(1); // リセット
        QCOMPARE(m_boxes, QStringList());
        // The announcement list is found in the demo's announcement folder.
        QVERIFY(mdlM_Tape::GetTapeCount() > 0);
        QCOMPARE(console.grpM_Tape->isEnabled(), console.TapeEnabled);
        QCOMPARE(panel.ChimeiCtl()->accessibleDescription(), QStringLiteral("空見駅前"));
        QCOMPARE(panel.Degit(1)->accessibleDescription().trimmed(), QStringLiteral("180"));
        for (int i = 0; i < 3; ++i)
            console.Command2_Click(1);
        QCOMPARE(panel.ChimeiCtl()->accessibleDescription(), QStringLiteral("市民病院前"));
        QCOMPARE(panel.Degit(1)->accessibleDescription().trimmed(), QStringLiteral("180"));
        QCOMPARE(panel.Degit(59)->accessibleDescription().trimmed(), QStringLiteral("4"));
        QCOMPARE(panel.Degit(60)->accessibleDescription().trimmed(), QStringLiteral("12"));
        const QString heard = m_mci.join(u'\n');
        for (const char *sound : {"keito.mp3", "reset.wav", "step.wav"})
            QVERIFY2(heard.contains(QLatin1String(sound)), qPrintable(heard));
        QVERIFY(console.picSeirikenPrev->isVisible());
    }
};

QTEST_MAIN(TestDemo)
#include "test_demo.moc"
