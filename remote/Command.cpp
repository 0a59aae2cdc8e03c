#include "remote/Command.h"

#include "remote/BusNames.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace remote {

namespace {

// A load waits for the lamp test, and for the user if the console shows a box.
constexpr int kCallTimeoutMs = 120000;

bool digitsOnly(const QString &s, int maxLength)
{
    if (s.isEmpty() || s.size() > maxLength)
        return false;
    for (QChar c : s)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

int onOff(const QString &w)
{
    if (w == u"on" || w == u"1")
        return 1;
    if (w == u"off" || w == u"0")
        return 0;
    return -1;
}

Command bad(const QString &why) { return Command{{}, {}, why}; }

} // namespace

Command parseCommand(const QStringList &words)
{
    if (words.isEmpty())
        return {};
    const QString verb = words.first();
    const QStringList a = words.mid(1);
    const auto plain = [&](const char *method) {
        return a.isEmpty() ? Command{QString::fromLatin1(method), {}, {}}
                           : bad(verb + QStringLiteral(" takes no arguments"));
    };
    if (verb == u"load") {
        if (a.size() != 2 || !digitsOnly(a[0], 5) || !digitsOnly(a[1], 3))
            return bad(QStringLiteral("load takes a route of 1-5 digits and a section of 1-3 digits"));
        return {QStringLiteral("load"), {a[0], a[1].toInt()}, {}};
    }
    if (verb == u"step")
        return plain("step");
    if (verb == u"back")
        return plain("back");
    if (verb == u"say")
        return plain("say");
    if (verb == u"say-back")
        return plain("sayBack");
    if (verb == u"stop")
        return plain("stopSpeech");
    if (verb == u"restore")
        return plain("restore");
    if (verb == u"raise")
        return plain("raise");
    if (verb == u"state")
        return plain("state");
    if (verb == u"clear" || verb == u"night") {
        const int v = a.size() == 1 ? onOff(a[0]) : -1;
        if (v < 0)
            return bad(verb + QStringLiteral(" takes on or off"));
        return {verb == u"clear" ? QStringLiteral("clearDisplay") : QStringLiteral("lateNight"), {bool(v)}, {}};
    }
    if (verb == u"backlight") {
        static const QStringList names{QStringLiteral("off"), QStringLiteral("on1"), QStringLiteral("on2")};
        const int byName = a.size() == 1 ? int(names.indexOf(a[0].toLower())) : -1;
        const int v = byName >= 0 ? byName : (a.size() == 1 && digitsOnly(a[0], 1) ? a[0].toInt() : -1);
        if (v < 0 || v > 2)
            return bad(QStringLiteral("backlight takes 0, 1 or 2 (OFF, ON1, ON2)"));
        return {QStringLiteral("backlight"), {v}, {}};
    }
    if (verb == u"fullscreen") {
        // Screens are counted from 1 here, as the console's menu shows them.
        const int n = a.isEmpty() ? 1 : (a.size() == 1 && digitsOnly(a[0], 2) ? a[0].toInt() : 0);
        if (n < 1)
            return bad(QStringLiteral("fullscreen takes a screen number from 1"));
        return {QStringLiteral("fullScreen"), {n - 1}, {}};
    }
    if (verb == u"size") {
        if (a.size() != 1 || !digitsOnly(a[0], 1) || a[0].toInt() < 1 || a[0].toInt() > 3)
            return bad(QStringLiteral("size takes 1, 2 or 3"));
        return {QStringLiteral("size"), {a[0].toInt()}, {}};
    }
    return bad(QStringLiteral("unknown command: ") + verb);
}

std::optional<QStringList> commandWords(const QStringList &arguments)
{
    // QGuiApplication's, QApplication's and the X11 plug-in's.
    static const QStringList withValue{
        QStringLiteral("platform"), QStringLiteral("platformpluginpath"), QStringLiteral("platformtheme"),
        QStringLiteral("plugin"), QStringLiteral("qwindowgeometry"), QStringLiteral("geometry"),
        QStringLiteral("qwindowtitle"), QStringLiteral("title"), QStringLiteral("qwindowicon"),
        QStringLiteral("icon"), QStringLiteral("session"), QStringLiteral("style"), QStringLiteral("stylesheet"),
        QStringLiteral("display"), QStringLiteral("name"), QStringLiteral("visual"), QStringLiteral("qmljsdebugger")};
    static const QStringList alone{QStringLiteral("reverse"), QStringLiteral("widgetcount"),
                                   QStringLiteral("testability"), QStringLiteral("nograb"), QStringLiteral("dograb"),
                                   QStringLiteral("sync")};
    QStringList words;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        if (!a.startsWith(u'-')) {
            words << a;
            continue;
        }
        QString option = a.mid(a.startsWith(QStringLiteral("--")) ? 2 : 1);
        const qsizetype equals = option.indexOf(u'=');
        if (equals >= 0) {
            if (!withValue.contains(option.left(equals)))
                return std::nullopt;
        } else if (withValue.contains(option)) {
            if (++i >= arguments.size())
                return std::nullopt;
        } else if (!alone.contains(option)) {
            return std::nullopt;
        }
    }
    return words;
}

QString usage(const QString &program)
{
    return QStringLiteral(
               "Usage: %1 COMMAND\n"
               "Drives the running fare board (427) over the session bus.\n"
               "\n"
               "  load ROUTE SECTION   enter a route and a section and reset, as on the console\n"
               "  step | back          the next or the previous stop\n"
               "  say | say-back       speak the next or the previous announcement\n"
               "  stop                 stop speaking\n"
               "  clear on|off         clear the display (表示消去)\n"
               "  night on|off         the late-night fare (深夜料金)\n"
               "  backlight 0|1|2      OFF, ON1, ON2\n"
               "  fullscreen [N]       the panel alone on screen N (from 1; the first by default)\n"
               "  restore              the panel back in its own window\n"
               "  size 1|2|3           the panel's window at 1, 2 or 3 times its size\n"
               "  raise                bring the board's windows to the front\n"
               "  state                route, row, stop name and the 60 cells as JSON\n"
               "  --help               this text\n"
               "\n"
               "Exit status: 0 done, 1 refused by the board, 2 bad command, 3 no board running.\n")
        .arg(program);
}

QString stateJson(const QVariantMap &props)
{
    QJsonObject o;
    o.insert(QStringLiteral("route"), props.value(QStringLiteral("route")).toString());
    o.insert(QStringLiteral("row"), props.value(QStringLiteral("row")).toInt());
    o.insert(QStringLiteral("stopName"), props.value(QStringLiteral("stopName")).toString());
    o.insert(QStringLiteral("cells"), QJsonArray::fromStringList(props.value(QStringLiteral("cells")).toStringList()));
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Indented));
}

bool boardRunning(const QDBusConnection &bus)
{
    if (!bus.isConnected() || !bus.interface())
        return false;
    const QDBusReply<bool> owned = bus.interface()->isServiceRegistered(kService);
    return owned.isValid() && owned.value();
}

bool ownerAlive(const QDBusConnection &bus, const QString &owner)
{
    const QDBusMessage ping =
        QDBusMessage::createMethodCall(owner, kPath, QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping"));
    return bus.call(ping, QDBus::Block, kAnswerMs).type() == QDBusMessage::ReplyMessage;
}

bool notABoard(const QString &e)
{
    return e == u"org.freedesktop.DBus.Error.UnknownObject" || e == u"org.freedesktop.DBus.Error.UnknownMethod"
           || e == u"org.freedesktop.DBus.Error.UnknownInterface";
}

int run(const Command &c, const QDBusConnection &bus, QTextStream &out, QTextStream &err)
{
    if (!c.error.isEmpty()) {
        err << c.error << Qt::endl;
        return ExitUsage;
    }
    if (c.isNone())
        return ExitOk;
    if (!bus.isConnected()) {
        err << "no board is running (no session bus: " << bus.lastError().message() << ")" << Qt::endl;
        return ExitNoBoard;
    }
    if (!boardRunning(bus)) {
        err << "no board is running (nothing owns " << kService << " on the session bus)" << Qt::endl;
        return ExitNoBoard;
    }
    // A load may rightly take minutes (a box waits for the user); a stopped
    // owner is not waited for.
    if (!ownerAlive(bus, kService)) {
        err << "no board answers (the owner of " << kService << " did not answer within " << kAnswerMs / 1000
            << " s)" << Qt::endl;
        return ExitNoBoard;
    }
    QDBusMessage call;
    if (c.method == u"state") {
        call = QDBusMessage::createMethodCall(kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                              QStringLiteral("GetAll"));
        call << kInterface;
    } else {
        call = QDBusMessage::createMethodCall(kService, kPath, kInterface, c.method);
        call.setArguments(c.args);
    }
    const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        if (reply.errorName() == u"org.freedesktop.DBus.Error.ServiceUnknown") {
            err << "no board is running (it ended before answering)" << Qt::endl;
            return ExitNoBoard;
        }
        if (notABoard(reply.errorName())) {
            err << "no board is running (" << kService << " is owned by a program that is no board: "
                << reply.errorMessage() << ")" << Qt::endl;
            return ExitNoBoard;
        }
        err << reply.errorMessage() << " (" << reply.errorName() << ")" << Qt::endl;
        return ExitRefused;
    }
    if (c.method == u"state") {
        out << stateJson(qdbus_cast<QVariantMap>(reply.arguments().value(0)));
        out.flush();
    }
    return ExitOk;
}

} // namespace remote
