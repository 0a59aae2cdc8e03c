// The board driven from outside, on a private session bus (the test runs
// under dbus-run-session): the demo route 12 ridden over the bus with the
// properties compared to the cells, the calls the console would refuse,
// the panel on a screen of its own, and two starts of the real program.
#include "assets/AssetFonts.h"
#include "console/frmCtl.h"
#include "forms/Values.h"
#include "forms/Windows.h"
#include "panel/Form1.h"
#include "platform/Fonts.h"
#include "platform/MsgBox.h"
#include "remote/Board.h"
#include "remote/BusNames.h"
#include "remote/Command.h"
#include "remote/Instance.h"
#include "settings/mdlIniIo.h"
#include "sound/mdlM_Tape.h"
#include "sound/mdlSndAPI.h"
#include "windows/PanelScreen.h"
#include "windows/PanelSize.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <signal.h>

using namespace remote;

namespace {

class FakeEngine : public speech::Engine {
public:
    int status = kIdle;
    QStringList spoken;
    void Speak(const QString &text) override
    {
        spoken << text;
        status = kSpeaking;
    }
    void Stop() override { status = kIdle; }
    int Status() override { return status; }
    void said()
    {
        status = kIdle;
        emit statusChanged();
    }
    void ShowVoiceDialog(QWidget *, const QString &) override {}
};

FakeEngine *engine() { return static_cast<FakeEngine *>(mdlM_Tape::engine()); }

// The interface's members, one line each, from introspection XML.
QStringList members(const QString &xml)
{
    QStringList out;
    QXmlStreamReader r(xml);
    bool ours = false;
    QString current;
    while (!r.atEnd()) {
        r.readNext();
        const QXmlStreamAttributes a = r.attributes();
        const auto v = [&a](const char *n) { return a.value(QLatin1String(n)).toString(); };
        const QString name = r.name().toString();
        const bool member = name == u"method" || name == u"signal";
        if (r.isStartElement() && name == u"interface")
            ours = v("name") == kInterface;
        else if (!ours)
            continue;
        else if (r.isStartElement() && member)
            current = name + u' ' + v("name");
        else if (r.isStartElement() && name == u"arg")
            current += u' ' + v("name") + u':' + v("type") + u':' + v("direction");
        else if (r.isEndElement() && member)
            out << current;
        else if (r.isStartElement() && name == u"property")
            out << QStringLiteral("property ") + v("name") + u':' + v("type") + u':' + v("access");
        else if (r.isEndElement() && name == u"interface")
            ours = false;
    }
    out.sort();
    return out;
}

} // namespace

class Recorder : public QObject {
    Q_OBJECT
public:
    QList<QPair<QString, int>> rows;
    QList<int> started, ended;
public slots:
    void rowChanged(const QString &route, int row) { rows.append({route, row}); }
    void announcementStarted(int line) { started << line; }
    void announcementEnded(int line) { ended << line; }
};

class TestRemote : public QObject {
    Q_OBJECT
    QStringList m_boxes;
    std::unique_ptr<Board> m_board;
    QDBusConnection m_client{QString()};
    Recorder m_seen;
    bool m_bus = false;
    std::unique_ptr<QTemporaryDir> m_dir;
    QProcessEnvironment m_env;

    // The program beside its own settings (the demo's), in a folder of its own.
    void installProgram()
    {
        if (m_dir)
            return;
        m_dir = std::make_unique<QTemporaryDir>();
        for (const char *f : {"427", "KXP4Res.so"})
            QVERIFY(QFile::copy(QStringLiteral(S4_BIN "/") + QLatin1String(f), m_dir->filePath(QLatin1String(f))));
        QVERIFY(QFile::copy(QStringLiteral(S4_DEMO_OUT "/demo.in4"), m_dir->filePath(QStringLiteral("427.in4"))));
        QVERIFY(QFile::link(QStringLiteral(S4_BIN "/examples"), m_dir->filePath(QStringLiteral("examples"))));
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        m_env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
        m_env.insert(QStringLiteral("SORATOBI4_FIRST_PAINT"), QStringLiteral("1"));
    }
    void start(QProcess &p, const QStringList &args)
    {
        p.setProcessEnvironment(m_env);
        p.start(m_dir->filePath(QStringLiteral("427")), args);
        QVERIFY(p.waitForStarted());
    }
    int ctl(const QStringList &args, QByteArray *out = nullptr, QByteArray *err = nullptr)
    {
        QProcess p;
        p.setProcessEnvironment(m_env);
        p.start(QStringLiteral(S4_BIN "/soratobi4-ctl"), args);
        if (!p.waitForFinished(30000))
            return -1;
        if (out)
            *out = p.readAllStandardOutput();
        if (err)
            *err = p.readAllStandardError();
        return p.exitCode();
    }
    // A start that becomes a board of its own: its windows painted, what it
    // said on stderr.
    QByteArray windowsShown(QProcess &p)
    {
        QElapsedTimer shown;
        shown.start();
        QByteArray out, err;
        const auto painted = [&] {
            out += p.readAllStandardOutput();
            err += p.readAllStandardError();
            return out.contains("painted both");
        };
        if (!QTest::qWaitFor(painted, 30000))
            return "no windows: " + err;
        qInfo("windows painted %lld ms after the start", static_cast<long long>(shown.elapsed()));
        return err;
    }

    QDBusMessage message(const QString &method, const QVariantList &args = {})
    {
        QDBusMessage m = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
        m.setArguments(args);
        return m;
    }
    // The event loop runs while the client waits: the board answers from it.
    QDBusMessage call(const QString &method, const QVariantList &args = {})
    {
        return m_client.call(message(method, args), QDBus::BlockWithGui, 30000);
    }
    QVariantMap properties()
    {
        QDBusMessage m = QDBusMessage::createMethodCall(kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                        QStringLiteral("GetAll"));
        m << kInterface;
        const QDBusMessage reply = m_client.call(m, QDBus::BlockWithGui);
        return qdbus_cast<QVariantMap>(reply.arguments().value(0));
    }
    QStringList panelCells()
    {
        QStringList out;
        for (int k = 1; k <= Form1::kCells; ++k)
            out << windows::Form1().Degit(k)->shownText();
        return out;
    }
    // The properties are the panel as shown.
    void compareWithPanel(int row)
    {
        const QVariantMap p = properties();
        QCOMPARE(p.value(QStringLiteral("row")).toInt(), row);
        QCOMPARE(p.value(QStringLiteral("route")).toString(), QStringLiteral("12"));
        QCOMPARE(p.value(QStringLiteral("cells")).toStringList(), panelCells());
        QCOMPARE(p.value(QStringLiteral("stopName")).toString(), windows::Form1().ChimeiCtl()->accessibleDescription());
    }
    void requireBus()
    {
        if (!m_bus)
            QSKIP("no private session bus: run under dbus-run-session (Debian package dbus-daemon)");
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true); // the panel's size, chosen below, stays out of the user's folders
        platform::installFontSubstitutions();
        assets::registerDigitFonts();
        platform::setMsgBoxHandler([this](const platform::MsgBoxRequest &r) {
            m_boxes << r.prompt;
            return int(platform::vbOK);
        });
        mdlSndAPI::setMciSender([](const QString &) { return 0; });
        mdlM_Tape::setEngineFactory([] { return std::make_unique<FakeEngine>(); });
        frmCtl::lampTestMs = 400;
        mdlIniIo::setSettingsPath(QStringLiteral(S4_DEMO_OUT "/demo.in4"));
        windows::Form1().show();
        QVERIFY(QTest::qWaitForWindowExposed(&windows::Form1()));

        // Never the desktop's own bus: a board running there must not answer.
        m_bus = qEnvironmentVariableIsSet("S4_PRIVATE_BUS") && QDBusConnection::sessionBus().isConnected();
        if (!m_bus) {
            m_board = std::make_unique<Board>();
            return;
        }
        Start start = begin({}, {});
        QVERIFY(!start.exit);
        m_board = std::move(start.board);
        QVERIFY(m_board);
        serve(m_board, {});
        m_client = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("client"));
        QVERIFY(m_client.isConnected());
        for (const char *s : {"rowChanged", "announcementStarted", "announcementEnded"}) {
            const QByteArray slot = QByteArray("1") + s + (s[0] == 'r' ? "(QString,int)" : "(int)");
            QVERIFY(m_client.connect(kService, kPath, kInterface, QString::fromLatin1(s), &m_seen, slot.constData()));
        }
    }
    void cleanupTestCase()
    {
        m_board.reset();
        windows::unloadAll();
        mdlIniIo::setSettingsPath({});
        mdlSndAPI::setMciSender({});
        platform::setMsgBoxHandler({});
    }

    void commandsParse_data()
    {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QString>("method");
        QTest::addColumn<QVariantList>("args");
        QTest::addColumn<bool>("valid");
        const auto row = [](const char *name, QStringList w, QString m, QVariantList a, bool ok) {
            QTest::newRow(name) << w << m << a << ok;
        };
        row("load", {"load", "12", "1"}, "load", {QStringLiteral("12"), 1}, true);
        row("load keeps leading zeros", {"load", "00012", "003"}, "load", {QStringLiteral("00012"), 3}, true);
        row("load six digits", {"load", "123456", "1"}, {}, {}, false);
        row("load section four digits", {"load", "12", "1000"}, {}, {}, false);
        row("load not a number", {"load", "12a", "1"}, {}, {}, false);
        row("load missing section", {"load", "12"}, {}, {}, false);
        row("say-back", {"say-back"}, "sayBack", {}, true);
        row("stop", {"stop"}, "stopSpeech", {}, true);
        row("step takes nothing", {"step", "2"}, {}, {}, false);
        row("clear on", {"clear", "on"}, "clearDisplay", {true}, true);
        row("night off", {"night", "off"}, "lateNight", {false}, true);
        row("night maybe", {"night", "maybe"}, {}, {}, false);
        row("backlight by name", {"backlight", "ON2"}, "backlight", {2}, true);
        row("backlight 3", {"backlight", "3"}, {}, {}, false);
        row("fullscreen counts from 1", {"fullscreen", "2"}, "fullScreen", {1}, true);
        row("fullscreen first", {"fullscreen"}, "fullScreen", {0}, true);
        row("fullscreen 0", {"fullscreen", "0"}, {}, {}, false);
        row("size 2", {"size", "2"}, "size", {2}, true);
        row("size 4", {"size", "4"}, {}, {}, false);
        row("size alone", {"size"}, {}, {}, false);
        row("unknown", {"quit"}, {}, {}, false);
    }
    void commandsParse()
    {
        QFETCH(QStringList, words);
        QFETCH(QString, method);
        QFETCH(QVariantList, args);
        QFETCH(bool, valid);
        const Command c = parseCommand(words);
        QCOMPARE(c.error.isEmpty(), valid);
        QCOMPARE(c.method, method);
        QCOMPARE(c.args, args);
    }

    // What a later start passes on, read before the windowing takes its options.
    void commandWordsLeaveQtOptions_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<bool>("known");
        QTest::newRow("none") << QStringList{} << QStringList{} << true;
        QTest::newRow("display and value") << QStringList{"-display", ":999", "step"} << QStringList{"step"} << true;
        QTest::newRow("two dashes, equals") << QStringList{"--platform=xcb", "load", "12", "1"}
                                           << QStringList{"load", "12", "1"} << true;
        QTest::newRow("option alone") << QStringList{"raise", "-reverse"} << QStringList{"raise"} << true;
        QTest::newRow("value missing") << QStringList{"step", "-style"} << QStringList{} << false;
        QTest::newRow("unknown option") << QStringList{"-x", "step"} << QStringList{} << false;
    }
    void commandWordsLeaveQtOptions()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, words);
        QFETCH(bool, known);
        const std::optional<QStringList> w = commandWords(arguments);
        QCOMPARE(w.has_value(), known);
        if (known)
            QCOMPARE(*w, words);
    }

    void panelFitsByWholePixels_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<int>("factor");
        QTest::addColumn<QRect>("target");
        QTest::newRow("1920x1080") << QSize(1920, 1080) << 2 << QRect(250, 256, 1420, 568);
        QTest::newRow("3840x2160") << QSize(3840, 2160) << 5 << QRect(145, 370, 3550, 1420);
        QTest::newRow("height bounds") << QSize(3000, 600) << 2 << QRect(790, 16, 1420, 568);
        QTest::newRow("smaller than the panel") << QSize(640, 480) << 1 << QRect(-35, 98, 710, 284);
    }
    void panelFitsByWholePixels()
    {
        QFETCH(QSize, screen);
        QFETCH(int, factor);
        QFETCH(QRect, target);
        const panelscreen::Fit f = panelscreen::fit(windows::Form1().size(), screen);
        QCOMPARE(f.factor, factor);
        QCOMPARE(f.target, target);
    }

    void introspectionIsTheCommittedFile()
    {
        requireBus();
        QFile committed(QStringLiteral(S4_REMOTE_XML));
        QVERIFY(committed.open(QIODevice::ReadOnly));
        const QDBusMessage reply = m_client.call(
            QDBusMessage::createMethodCall(kService, kPath, QStringLiteral("org.freedesktop.DBus.Introspectable"),
                                           QStringLiteral("Introspect")),
            QDBus::BlockWithGui);
        const QStringList live = members(reply.arguments().value(0).toString());
        QCOMPARE(live.size(), 20);
        QCOMPARE(live, members(QString::fromUtf8(committed.readAll())));
    }

    // Before a route: what the console's disabled controls would not do.
    void refusedBeforeARoute_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QVariantList>("args");
        QTest::addColumn<QString>("error");
        QTest::newRow("step") << "step" << QVariantList{} << error::NoRoute;
        QTest::newRow("back") << "back" << QVariantList{} << error::NoRoute;
        QTest::newRow("clear") << "clearDisplay" << QVariantList{true} << error::NoRoute;
        QTest::newRow("say") << "say" << QVariantList{} << error::NoAnnouncements;
        QTest::newRow("route with a letter") << "load" << QVariantList{QStringLiteral("1x"), 1} << error::InvalidArgs;
        QTest::newRow("section 1000") << "load" << QVariantList{QStringLiteral("12"), 1000} << error::InvalidArgs;
        QTest::newRow("backlight 3") << "backlight" << QVariantList{3} << error::InvalidArgs;
        QTest::newRow("no screen 9") << "fullScreen" << QVariantList{9} << error::InvalidArgs;
        QTest::newRow("size 4") << "size" << QVariantList{4} << error::InvalidArgs;
    }
    void refusedBeforeARoute()
    {
        requireBus();
        QFETCH(QString, method);
        QFETCH(QVariantList, args);
        QFETCH(QString, error);
        const QStringList before = panelCells();
        const QDBusMessage reply = call(method, args);
        QCOMPARE(reply.type(), QDBusMessage::ErrorMessage);
        QCOMPARE(reply.errorName(), error);
        QVERIFY(!reply.errorMessage().isEmpty());
        QCOMPARE(panelCells(), before);
        QCOMPARE(m_boxes, QStringList());
        QVERIFY(!panelscreen::active());
    }

    // A route without data: the console shows its message, and the caller
    // hears it too rather than a success.
    void missingRouteIsReported()
    {
        requireBus();
        const QDBusMessage reply = call(QStringLiteral("load"), {QStringLiteral("99"), 1});
        QCOMPARE(reply.errorName(), error::NotLoaded);
        QCOMPARE(m_boxes, QStringList{QStringLiteral("指定した系統のデータがありません...")});
        QCOMPARE(reply.errorMessage(), m_boxes.first());
        m_boxes.clear();
    }

    void ridesRoute12()
    {
        requireBus();
        m_seen.rows.clear();
        QCOMPARE(call(QStringLiteral("load"), {QStringLiteral("12"), 1}).type(), QDBusMessage::ReplyMessage);
        QCOMPARE(m_boxes, QStringList());
        compareWithPanel(1);
        QCOMPARE(panelCells().first().trimmed(), QStringLiteral("180"));
        QCOMPARE(windows::Form1().ChimeiCtl()->accessibleDescription(), QStringLiteral("空見駅前"));
        for (int row = 2; row <= 11; ++row) {
            QCOMPARE(call(QStringLiteral("step")).type(), QDBusMessage::ReplyMessage);
            compareWithPanel(row);
        }
        QTRY_COMPARE(m_seen.rows.size(), 11);
        QCOMPARE(m_seen.rows.last(), (QPair<QString, int>(QStringLiteral("12"), 11)));
        for (int row = 10; row >= 9; --row) {
            QCOMPARE(call(QStringLiteral("back")).type(), QDBusMessage::ReplyMessage);
            compareWithPanel(row);
        }
        // The keypad was used as a user would: its display shows what was keyed.
        frmCtl &c = windows::frmCtl();
        QCOMPARE(forms::caption(*c.Label2(0)), QStringLiteral("12"));
        QCOMPARE(forms::caption(*c.Label2(2)), QStringLiteral("1"));
    }

    void announcementIsSignalled()
    {
        requireBus();
        m_seen.started.clear();
        m_seen.ended.clear();
        QCOMPARE(call(QStringLiteral("say")).type(), QDBusMessage::ReplyMessage);
        QVERIFY(engine());
        QCOMPARE(engine()->spoken.size(), 1);
        QTRY_COMPARE(m_seen.started, QList<int>{1});
        QVERIFY(m_seen.ended.isEmpty());
        engine()->said(); // the line has been said
        QTRY_COMPARE(m_seen.ended, QList<int>{1});
        call(QStringLiteral("say"));
        QTRY_COMPARE(m_seen.started, (QList<int>{1, 2}));
        QCOMPARE(call(QStringLiteral("stopSpeech")).type(), QDBusMessage::ReplyMessage);
        QTRY_COMPARE(m_seen.ended, (QList<int>{1, 2}));
    }

    // While the lamp test lights every segment, the board holds input back:
    // calls that arrive are refused, and none runs afterwards.
    void refusedDuringTheLampTest()
    {
        requireBus();
        QList<QDBusPendingCall> during;
        bool heldThen = false;
        QTimer::singleShot(150, this, [&] {
            heldThen = windows::Form1().ChimeiCtl()->accessibleDescription() == QStringLiteral("系統設定");
            for (const char *m : {"step", "say", "load", "raise", "restore"})
                during << m_client.asyncCall(QByteArrayView(m) == "load" ? message(QStringLiteral("load"), {QStringLiteral("12"), 5})
                                                                         : message(QString::fromLatin1(m)));
        });
        QCOMPARE(call(QStringLiteral("load"), {QStringLiteral("12"), 3}).type(), QDBusMessage::ReplyMessage);
        QVERIFY(heldThen);
        QCOMPARE(during.size(), 5);
        for (QDBusPendingCall &p : during) {
            p.waitForFinished();
            QVERIFY(p.isError());
            QCOMPARE(p.error().name(), error::InputHeld);
        }
        QTest::qWait(50);
        compareWithPanel(3);
        QCOMPARE(engine()->spoken.size(), 2); // nothing said since
    }

    void refusedWhileABoxIsOpen()
    {
        requireBus();
        QDialog box(&windows::frmCtl());
        box.setWindowTitle(QStringLiteral("オプション"));
        box.setModal(true);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        // Raised, the board's windows would cover the box that holds them.
        for (const char *m : {"step", "raise", "restore"}) {
            const QDBusMessage reply = call(QString::fromLatin1(m));
            QCOMPARE(reply.errorName(), error::ModalOpen);
            QVERIFY(reply.errorMessage().contains(QStringLiteral("オプション")));
        }
        box.hide();
        compareWithPanel(3);
    }

    // Cleared, the console takes no steps, no route and no night fare; the
    // backlight stays its own.
    void refusedWhileCleared()
    {
        requireBus();
        const QStringList shown = panelCells();
        QCOMPARE(call(QStringLiteral("clearDisplay"), {true}).type(), QDBusMessage::ReplyMessage);
        QCOMPARE(properties().value(QStringLiteral("cells")).toStringList(), panelCells());
        QVERIFY(panelCells() != shown);
        for (const auto &[method, args] : {std::pair<QString, QVariantList>{QStringLiteral("step"), {}},
                                           {QStringLiteral("load"), {QStringLiteral("12"), 1}},
                                           {QStringLiteral("lateNight"), {true}},
                                           {QStringLiteral("say"), {}}})
            QCOMPARE(call(method, args).errorName(), error::DisplayCleared);
        QCOMPARE(call(QStringLiteral("backlight"), {1}).type(), QDBusMessage::ReplyMessage);
        QVERIFY(windows::frmCtl().Option4(1)->isChecked());
        QCOMPARE(call(QStringLiteral("clearDisplay"), {false}).type(), QDBusMessage::ReplyMessage);
        QCOMPARE(panelCells(), shown);
        QCOMPARE(call(QStringLiteral("lateNight"), {true}).type(), QDBusMessage::ReplyMessage);
        QCOMPARE(call(QStringLiteral("step")).type(), QDBusMessage::ReplyMessage);
        compareWithPanel(4);
        QCOMPARE(call(QStringLiteral("lateNight"), {false}).type(), QDBusMessage::ReplyMessage);
    }

    void raiseBringsTheConsoleBack()
    {
        requireBus();
        frmCtl &c = windows::frmCtl();
        c.showMinimized();
        QTRY_VERIFY(c.isMinimized());
        QCOMPARE(call(QStringLiteral("raise")).type(), QDBusMessage::ReplyMessage);
        QVERIFY(!c.isMinimized());
        QVERIFY(c.isVisible());
    }

    // The panel alone on the second screen, each of its cells' pixels a
    // square of 2x2 screen pixels; Escape puts it back where it was.
    void panelOnAScreenOfItsOwn()
    {
        requireBus();
        if (QGuiApplication::screens().size() != 2)
            QSKIP("needs the two-screen offscreen configuration");
        Form1 &panel = windows::Form1();
        panel.move(40, 30);
        const QImage small = panel.grab().toImage();
        QCOMPARE(call(QStringLiteral("fullScreen"), {1}).type(), QDBusMessage::ReplyMessage);
        QVERIFY(panelscreen::active());
        QWidget *view = panelscreen::view();
        QCOMPARE(view->geometry(), QRect(1280, 0, 1920, 1080));
        QVERIFY(QTest::qWaitForWindowExposed(view));
        // The panel's own window waits under it, on that screen.
        QVERIFY(view->geometry().contains(panel.frameGeometry()));
        const QImage big = view->grab().toImage();
        const QRect target = panelscreen::fit(panel.size(), QSize(1920, 1080)).target;
        QCOMPARE(big.pixelColor(10, 10), QColor(Qt::black));
        for (int cell : {1, 30, 60}) {
            const QRect r = Form1::degitRect(cell);
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x)
                    for (int d : {0, 1, 2, 3})
                        if (big.pixel(target.x() + 2 * x + d % 2, target.y() + 2 * y + d / 2) != small.pixel(x, y))
                            QFAIL(qPrintable(QStringLiteral("cell %1 differs at %2,%3").arg(cell).arg(x).arg(y)));
        }
        // What changes on the panel changes on the screen.
        QCOMPARE(call(QStringLiteral("step")).type(), QDBusMessage::ReplyMessage);
        QTRY_VERIFY(view->grab().toImage() != big);

        // The console's menu shows the entry checked; Escape leaves.
        QMenu &menu = *windows::frmCtl().MnuHide;
        QAction *entry = nullptr;
        for (QAction *a : menu.actions())
            if (a->text() == panelscreen::entryCaption() && !a->menu())
                entry = a;
        QVERIFY(entry);
        emit menu.aboutToShow();
        QVERIFY(entry->isVisible() && entry->isChecked());
        QTest::keyClick(view, Qt::Key_Escape);
        QVERIFY(!panelscreen::active());
        QCOMPARE(panel.pos(), QPoint(40, 30));
        // Not shown, two screens: the entry lists them.
        emit menu.aboutToShow();
        QVERIFY(!entry->isVisible());
        QMenu *choose = nullptr;
        for (QAction *a : menu.actions())
            if (a->menu() && a->isVisible())
                choose = a->menu();
        QVERIFY(choose);
        QCOMPARE(choose->actions().size(), 2);
        choose->actions().at(1)->trigger();
        QCOMPARE(panelscreen::screenIndex(), 1);
        QCOMPARE(call(QStringLiteral("restore")).type(), QDBusMessage::ReplyMessage);
        QCOMPARE(panel.pos(), QPoint(40, 30));

        // The window twice the size, over the panel where it stands; from
        // full screen, size leaves it for that window.
        QCOMPARE(call(QStringLiteral("size"), {2}).type(), QDBusMessage::ReplyMessage);
        QVERIFY(panelsize::view());
        QCOMPARE(panelsize::view()->geometry(), QRect(QPoint(40, 30), panel.size() * 2));
        QCOMPARE(call(QStringLiteral("fullScreen"), {1}).type(), QDBusMessage::ReplyMessage);
        QVERIFY(!panelsize::view());
        QCOMPARE(call(QStringLiteral("size"), {3}).type(), QDBusMessage::ReplyMessage);
        QVERIFY(!panelscreen::active());
        QCOMPARE(panelsize::view()->size(), panel.size() * 3);
        QCOMPARE(call(QStringLiteral("size"), {1}).type(), QDBusMessage::ReplyMessage);
        QVERIFY(!panelsize::view());
        QCOMPARE(panel.pos(), QPoint(40, 30));
    }

    // The real program, twice: the second start hands its command to the
    // first and ends; soratobi4-ctl rides with it; with no board, it says so.
    void twoStarts()
    {
        requireBus();
        m_board.reset();
        QDBusConnection::sessionBus().unregisterObject(kPath);
        QVERIFY(QDBusConnection::sessionBus().unregisterService(kService));
        QTRY_VERIFY(!boardRunning(m_client));

        installProgram();
        if (QTest::currentTestFailed())
            return;

        QProcess first;
        start(first, {});
        QTRY_VERIFY_WITH_TIMEOUT(ctl({QStringLiteral("state")}) == ExitOk, 20000);
        QCOMPARE(ctl({QStringLiteral("load"), QStringLiteral("12"), QStringLiteral("1")}), int(ExitOk));
        for (int i = 0; i < 10; ++i)
            QCOMPARE(ctl({QStringLiteral("step")}), int(ExitOk));

        QProcess second;
        start(second, {QStringLiteral("step")});
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitCode(), int(ExitOk));
        QCOMPARE(first.state(), QProcess::Running);
        // Passing a command needs the bus, not a display.
        QProcess headless;
        start(headless, {QStringLiteral("-platform"), QStringLiteral("xcb"), QStringLiteral("-display"),
                         QStringLiteral(":999"), QStringLiteral("step")});
        QVERIFY(headless.waitForFinished(20000));
        QVERIFY2(headless.exitStatus() == QProcess::NormalExit && headless.exitCode() == ExitOk,
                 headless.readAllStandardError().constData());

        QByteArray out, err;
        QCOMPARE(ctl({QStringLiteral("state")}, &out), int(ExitOk));
        const QJsonObject state = QJsonDocument::fromJson(out).object();
        QCOMPARE(state.value(QStringLiteral("row")).toInt(), 13);
        QCOMPARE(state.value(QStringLiteral("route")).toString(), QStringLiteral("12"));
        QCOMPARE(state.value(QStringLiteral("cells")).toArray().size(), 60);
        QVERIFY(!state.value(QStringLiteral("stopName")).toString().isEmpty());

        QCOMPARE(ctl({QStringLiteral("backlight"), QStringLiteral("7")}, nullptr, &err), int(ExitUsage));
        QCOMPARE(ctl({QStringLiteral("clear"), QStringLiteral("on")}), int(ExitOk));
        QCOMPARE(ctl({QStringLiteral("step")}, nullptr, &err), int(ExitRefused));
        QVERIFY2(err.contains(error::DisplayCleared.toUtf8()), err.constData());

        first.terminate();
        QVERIFY(first.waitForFinished(10000));
        QTRY_VERIFY(!boardRunning(m_client));
        QCOMPARE(ctl({QStringLiteral("state")}, &out, &err), int(ExitNoBoard));
        QVERIFY(out.isEmpty());
        QVERIFY2(err.contains("no board is running"), err.constData());
    }

    // The name held by a program that is no board, then by a board that is
    // stopped: a start waits for neither and is a board of its own, the
    // command it was given carried out there.
    void nameHeldByNoBoard()
    {
        requireBus();
        installProgram();
        if (QTest::currentTestFailed())
            return;
        QByteArray err;
        {
            QDBusConnection squatter =
                QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("squatter"));
            QCOMPARE(squatter.interface()->registerService(kService).value(),
                     QDBusConnectionInterface::ServiceRegistered);
            QProcess alone;
            start(alone, {QStringLiteral("step")});
            err = windowsShown(alone);
            QVERIFY2(err.contains("is owned by a program that is no board"), err.constData());
            QTRY_VERIFY((err += alone.readAllStandardError()).contains(error::NoRoute.toUtf8()));
            QCOMPARE(ctl({QStringLiteral("state")}, nullptr, &err), int(ExitNoBoard));
            QVERIFY2(err.contains("is owned by a program that is no board"), err.constData());
            alone.terminate();
            QVERIFY(alone.waitForFinished(10000));
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("squatter"));
        QTRY_VERIFY(!boardRunning(m_client));

        QProcess first, second;
        start(first, {});
        QTRY_VERIFY_WITH_TIMEOUT(ctl({QStringLiteral("state")}) == ExitOk, 20000);
        QCOMPARE(::kill(pid_t(first.processId()), SIGSTOP), 0);
        start(second, {});
        err = windowsShown(second);
        QVERIFY2(err.contains("did not answer within 2 s"), err.constData());
        QCOMPARE(ctl({QStringLiteral("state")}, nullptr, &err), int(ExitNoBoard));
        QVERIFY2(err.contains("did not answer within 2 s"), err.constData());
        // Woken, the first is the board on the bus again.
        QCOMPARE(::kill(pid_t(first.processId()), SIGCONT), 0);
        QCOMPARE(ctl({QStringLiteral("state")}), int(ExitOk));
        for (QProcess *p : {&first, &second}) {
            p->terminate();
            QVERIFY(p->waitForFinished(10000));
        }
    }
};

QTEST_MAIN(TestRemote)
#include "test_remote.moc"
