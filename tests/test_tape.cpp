// The announcement tape driven from the console's four buttons, against a
// recording engine and the recorded sound commands: what is said, which
// sound comes first, when the fares step along, and when the group is off.
#include "console/frmCtl.h"
#include "core/Cp932.h"
#include "forms/Values.h"
#include "forms/Windows.h"
#include "options/frmOption.h"
#include "panel/Form1.h"
#include "sound/mdlM_Tape.h"
#include "sound/mdlSndAPI.h"
#include "tests/Fixture.h"

#include <QtTest>

namespace {

QStringList *g_log = nullptr;

class FakeEngine : public speech::Engine {
public:
    int status = kIdle;
    ~FakeEngine() override { *g_log << QStringLiteral("released"); }
    void Speak(const QString &text) override { *g_log << QStringLiteral("speak ") + text; }
    void Stop() override { *g_log << QStringLiteral("stop"); }
    int Status() override { return status; }
    void ShowVoiceDialog(QWidget *owner, const QString &title) override
    {
        *g_log << QStringLiteral("dialog %1 %2").arg(title, owner ? owner->windowTitle() : QString());
    }
};

// Stops 1..count; each has ticket i and a blank step-sound column.
QByteArray fareFile(int count)
{
    return fixture::route(count, [](int i, int c) { return c == 150 ? 0 : 10 * i + c; });
}

} // namespace

class TestTape : public QObject {
    Q_OBJECT

    fixture::Windows m_w;
    QStringList m_log;
    bool m_noEngine = false;

    frmCtl &console() { return windows::frmCtl(); }
    frmOption &options() { return windows::frmOption(); }
    FakeEngine &engine() { return *static_cast<FakeEngine *>(mdlM_Tape::engine()); }

    QString file(const QString &name, const QByteArray &content) { return m_w.file(name, content); }
    void tape(const QString &name, const char *utf8) { file(name, cp932::encode(QString::fromUtf8(utf8))); }
    void load(const QString &route, int stops = 5)
    {
        file(route + QStringLiteral(".hy3"), fareFile(stops));
        forms::setText(*options().Text2(0), m_w.dir());
        forms::setCaption(*console().Label2(0), route);
        forms::setCaption(*console().Label2(2), QStringLiteral("1"));
        console().Command1_Click(1);
        m_log.clear();
    }
    // The log with each sound open shortened to "sound <file> <channel>[ wait]"
    // and every other sound command left out.
    QStringList events() const
    {
        QStringList out;
        for (const QString &e : m_log) {
            if (!e.startsWith(QStringLiteral("mci ")))
                out << e;
            else if (e.startsWith(QStringLiteral("mci open ")))
                out << QStringLiteral("sound %1 %2").arg(QFileInfo(e.section(u'"', 1, 1)).baseName(), e.section(u' ', -2, -2).right(2));
            else if (e.startsWith(QStringLiteral("mci play ")) && e.endsWith(QStringLiteral(" wait")))
                out.last() += QStringLiteral(" wait");
        }
        return out;
    }
    int stop() { return console().ride().route().CurIndex + 1; }

private slots:
    void initTestCase() { g_log = &m_log; }
    void init()
    {
        m_w.begin(); // no settings file: the build folder's is never read
        m_noEngine = false;
        mdlM_Tape::setEngineFactory([this]() -> std::unique_ptr<speech::Engine> {
            if (m_noEngine)
                return nullptr;
            return std::make_unique<FakeEngine>();
        });
        // The sound commands in one log with the engine's calls: their order is the point.
        mdlSndAPI::setMciSender([this](const QString &c) {
            m_log << QStringLiteral("mci ") + c;
            return 0;
        });
        m_w.answer = platform::vbYes;
        windows::Form1(); // the whole start-up
        forms::setText(*options().Text2(1), m_w.dir());
        for (int i : {0, 1, 3, 4, 5, 6, 7, 8, 9, 10})
            forms::setText(*options().txtSelectSound(i), file(QStringLiteral("snd%1.wav").arg(i), "RIFF"));
        forms::setOptionValue(*options().Option2(3), -1); // the sound by the line's flag
        forms::setOptionValue(*options().Option7(1), -1); // not waiting for it
        forms::setOptionValue(*options().Option2(0), -1); // one fixed step sound
        m_log.clear();
    }
    void cleanup() { m_w.end(); }

    void groupFollowsTheEngineAndTheList()
    {
        frmCtl &c = console();
        QCOMPARE(c.grpM_Tape->title(), QStringLiteral("音合使用可"));
        QVERIFY(c.TapeEnabled && c.grpM_Tape->isEnabled() && !c.cmdTapeNext->isEnabled());
        load(QStringLiteral("12")); // no 12tp.csv
        QVERIFY(!c.grpM_Tape->isEnabled());
        QCOMPARE(mdlM_Tape::GetTapeCount(), 0);
        tape(QStringLiteral("12TP.CSV"), "あ,0,0\r\n"); // any letter case
        load(QStringLiteral("12"));
        QVERIFY(c.grpM_Tape->isEnabled());
        for (QPushButton *b : {c.cmdTapeSet, c.cmdTapeBack, c.cmdTapeNext, c.cmdTapeStop})
            QVERIFY(b->isEnabled());
        tape(QStringLiteral("12TP.CSV"), "\"open quote,1,1\r\n");
        load(QStringLiteral("12"));
        QVERIFY(!c.grpM_Tape->isEnabled());
        // Unclearing the display turns the group back on, yet the failed
        // load left no list to speak from.
        forms::setCheckValue(*c.Check1, 1);
        forms::setCheckValue(*c.Check1, 0);
        m_log.clear();
        c.cmdTapeNext_Click();
        QCOMPARE(events(), QStringList());
        // The engine finds out later that it cannot speak.
        emit engine().unavailable();
        QCOMPARE(c.grpM_Tape->title(), QStringLiteral("音合使用不可"));
        QVERIFY(!c.TapeEnabled && !c.grpM_Tape->isEnabled());
    }

    void noEngine()
    {
        windows::unloadAll();
        m_noEngine = true;
        frmCtl &c = console();
        forms::setText(*options().Text2(1), m_w.dir());
        QCOMPARE(c.grpM_Tape->title(), QStringLiteral("音合使用不可"));
        QVERIFY(!c.TapeEnabled && !c.grpM_Tape->isEnabled());
        tape(QStringLiteral("12tp.csv"), "あ,0,0\r\n");
        load(QStringLiteral("12"));
        QVERIFY(!c.grpM_Tape->isEnabled() && !c.cmdTapeNext->isEnabled());
        c.cmdTapeNext_Click(); // nothing to speak with, and no crash
        QCOMPARE(mdlM_Tape::GetTapePos(), 1);
    }

    void firstAndLastLines()
    {
        tape(QStringLiteral("12tp.csv"), "一行目,0,0\r\n二行目,0,0\r\n最終行,1,0\r\n");
        load(QStringLiteral("12"), 5);
        frmCtl &c = console();
        c.cmdTapeBack_Click(); // before the first line: on to line 1, unspoken
        QCOMPARE(events(), QStringList());
        QCOMPARE(mdlM_Tape::GetTapePos(), 1);
        c.cmdTapeNext_Click();
        QCOMPARE(events(), (QStringList{"stop", "speak 二行目"}));
        m_log.clear();
        c.cmdTapeBack_Click();
        QCOMPARE(events(), (QStringList{"stop", "speak 一行目"}));
        m_log.clear();
        c.cmdTapeBack_Click(); // on line 1: nothing said, and there it stays
        QCOMPARE(events(), QStringList());
        QCOMPARE(mdlM_Tape::GetTapePos(), 1);
        c.cmdTapeNext_Click();
        c.cmdTapeNext_Click();
        QCOMPARE(mdlM_Tape::GetTapePos(), 3);
        QCOMPARE(stop(), 2); // the last line steps along
        m_log.clear();
        // On the last line nothing more is said, yet the fares keep stepping
        // until the last stop.
        for (int expected : {3, 4, 5, 5}) {
            c.cmdTapeNext_Click();
            QCOMPARE(mdlM_Tape::GetTapePos(), 3);
            QCOMPARE(stop(), expected);
        }
        QVERIFY(events().filter(QStringLiteral("speak")).isEmpty());
    }

    // "戻し" that cannot move back still reads line 1's step flag: from the
    // start as from line 1, the fares step back with it.
    void backOnTheFirstLineStepsByItsFlag()
    {
        tape(QStringLiteral("12tp.csv"), "一行目,1,0\r\n二行目,0,0\r\n");
        load(QStringLiteral("12"), 5);
        frmCtl &c = console();
        c.Command2_Click(1);
        c.Command2_Click(1);
        QCOMPARE(stop(), 3);
        m_log.clear();
        c.cmdTapeBack_Click();
        QCOMPARE(mdlM_Tape::GetTapePos(), 1);
        QCOMPARE(stop(), 2);
        c.cmdTapeBack_Click();
        QCOMPARE(stop(), 1);
        QVERIFY(events().filter(QStringLiteral("speak")).isEmpty());
        c.cmdTapeNext_Click();
        QCOMPARE(events().filter(QStringLiteral("speak")), QStringList{QStringLiteral("speak 二行目")});
    }

    void soundThenTextThenStep_data()
    {
        QTest::addColumn<bool>("always");
        QTest::addColumn<bool>("sync");
        QTest::addColumn<QStringList>("next");
        QTest::addColumn<QStringList>("back");
        QTest::newRow("by the flag")
            << false << false << QStringList{"sound snd5 S3", "stop", "speak 二行目", "sound snd7 S2"}
            << QStringList{"sound snd6 S2", "stop", "speak 一行目"};
        QTest::newRow("fixed sound, waited for: never on the way back")
            << true << true << QStringList{"sound snd3 S3 wait", "stop", "speak 二行目", "sound snd7 S2"}
            << QStringList{"sound snd6 S2 wait", "stop", "speak 一行目"};
    }
    void soundThenTextThenStep()
    {
        QFETCH(bool, always);
        QFETCH(bool, sync);
        QFETCH(QStringList, next);
        QFETCH(QStringList, back);
        forms::setOptionValue(*options().Option2(always ? 2 : 3), -1);
        forms::setOptionValue(*options().Option7(sync ? 0 : 1), -1);
        tape(QStringLiteral("7tp.csv"), "一行目,0,3\r\n二行目,1,2\r\n");
        load(QStringLiteral("7"));
        frmCtl &c = console();
        c.cmdTapeNext_Click();
        m_log.clear();
        c.cmdTapeNext_Click();
        QCOMPARE(events(), next);
        QCOMPARE(stop(), 2);
        m_log.clear();
        c.cmdTapeBack_Click();
        QCOMPARE(events(), back);
        QCOMPARE(stop(), 2); // line 1 does not step
    }

    void secondRouteWithFewerLines()
    {
        tape(QStringLiteral("1tp.csv"), "a,0,0\nb,0,0\nc,0,0\nd,0,0\n");
        tape(QStringLiteral("2tp.csv"), "\"次は、市役所前, 終点です\",0,0\n\n");
        load(QStringLiteral("1"));
        for (int i = 0; i < 4; ++i)
            console().cmdTapeNext_Click();
        QCOMPARE(mdlM_Tape::GetTapePos(), 4);
        load(QStringLiteral("2"));
        QCOMPARE(mdlM_Tape::GetTapeCount(), 2);
        QCOMPARE(mdlM_Tape::GetTapePos(), 0);
        for (int i = 0; i < 3; ++i)
            console().cmdTapeNext_Click();
        QCOMPARE(mdlM_Tape::GetTapePos(), 2);
        QCOMPARE(events(), (QStringList{"stop", "speak 次は、市役所前, 終点です", "stop", "speak "}));
        QCOMPARE(mdlM_Tape::GetTapeStep(3), 0);
        QCOMPARE(mdlM_Tape::GetTapeFlag(0), 0);
    }

    void stopDialogFailureAndRelease()
    {
        tape(QStringLiteral("12tp.csv"), "あ,0,0\n");
        load(QStringLiteral("12"));
        frmCtl &c = console();
        c.cmdTapeStop_Click();
        c.cmdTapeSet_Click();
        engine().status = speech::Engine::kFailed; // a failed synthesis is stopped at once
        c.cmdTapeNext_Click();
        QCOMPARE(events(), (QStringList{"stop", "dialog 音声の調節 集中操作盤", "stop", "speak あ", "stop"}));
        m_log.clear();
        QVERIFY(c.close()); // the exit: the sound channels close, then the engine goes
        const QStringList e = events();
        QVERIFY(!e.isEmpty() && e.last() == QStringLiteral("released"));
        QVERIFY(m_log.indexOf(QRegularExpression("^mci close ")) < m_log.indexOf("released"));
        QVERIFY(!mdlM_Tape::engine());
        // The exit saved the settings into the fixture's folder, never beside the program.
        QVERIFY(QFileInfo(m_w.settingsPath()).size() > 598);
    }
};

QTEST_MAIN(TestTape)
#include "test_tape.moc"
