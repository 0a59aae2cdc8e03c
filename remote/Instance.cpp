#include "remote/Instance.h"

#include "remote/Board.h"
#include "remote/BusNames.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusPendingCall>
#include <QElapsedTimer>
#include <QTextStream>
#include <QThread>
#include <QTimer>

namespace remote {

namespace {

// The first start owns the name before its windows are up; a later start
// waits this long for them.
constexpr int kStartingMs = 15000;

QDBusMessage raiseCall(const QString &owner)
{
    return QDBusMessage::createMethodCall(owner, kPath, kInterface, QStringLiteral("raise"));
}

// A board found: the command goes to it. One that stays starting: nothing
// to pass it to. Otherwise this start goes on as a board.
std::optional<int> settle(const Owner &o, const Command &c, const QDBusConnection &bus)
{
    QTextStream out(stdout), err(stderr);
    if (o.kind == Owner::Starting) {
        err << "427: the running board did not finish starting within " << kStartingMs / 1000 << " s: "
            << o.reply.errorMessage() << Qt::endl;
        return ExitNoBoard;
    }
    if (o.kind != Owner::Board)
        return std::nullopt;
    if (!c.isNone())
        return run(c, bus, out, err);
    if (o.reply.type() == QDBusMessage::ErrorMessage) {
        err << "427: " << o.reply.errorMessage() << " (" << o.reply.errorName() << ")" << Qt::endl;
        return ExitRefused;
    }
    return ExitOk;
}

QString alone(const Owner &o)
{
    const QString why = o.kind == Owner::Silent
                            ? QStringLiteral("the owner of %1 did not answer within %2 s (stopped or frozen)")
                                  .arg(kService)
                                  .arg(kAnswerMs / 1000)
                            : QStringLiteral("%1 is owned by a program that is no board (%2)")
                                  .arg(kService, o.reply.errorName());
    return why + QStringLiteral(": this board starts on its own, out of reach of soratobi4-ctl");
}

} // namespace

Claim claimName()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return Claim::NoBus;
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> r = bus.interface()->registerService(
        kService, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (!r.isValid())
        return Claim::NoBus;
    return r.value() == QDBusConnectionInterface::ServiceRegistered ? Claim::Owner : Claim::Taken;
}

Owner findOwner(const QDBusConnection &bus)
{
    Owner o;
    if (!bus.isConnected() || !bus.interface())
        return o;
    const QDBusReply<QString> id = bus.interface()->serviceOwner(kService);
    if (!id.isValid())
        return o;
    o.id = id.value();
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        // The bus library answers a ping whatever the windows do; a stopped
        // process answers nothing.
        QDBusMessage ping = QDBusMessage::createMethodCall(o.id, kPath, QStringLiteral("org.freedesktop.DBus.Peer"),
                                                           QStringLiteral("Ping"));
        QDBusPendingCall alive = bus.asyncCall(ping, kAnswerMs);
        o.reply = bus.call(raiseCall(o.id), QDBus::Block, kAnswerMs);
        const QString e = o.reply.errorName();
        const bool late = waited.elapsed() > kStartingMs;
        if (o.reply.type() == QDBusMessage::ReplyMessage) {
            o.kind = Owner::Board;
        } else if (e == error::Starting) {
            if (!late) {
                QThread::msleep(100);
                continue;
            }
            o.kind = Owner::Starting;
        } else if (e == u"org.freedesktop.DBus.Error.NoReply" || e == u"org.freedesktop.DBus.Error.Timeout") {
            // Alive but busy, as a board is while its windows come up.
            alive.waitForFinished();
            if (!late && !alive.isError())
                continue;
            o.kind = Owner::Silent;
        } else if (e == u"org.freedesktop.DBus.Error.ServiceUnknown"
                   || e == u"org.freedesktop.DBus.Error.NameHasNoOwner") {
            o.kind = Owner::Nobody;
        } else {
            o.kind = e.startsWith(kInterface + QStringLiteral(".Error.")) ? Owner::Board : Owner::Stranger;
        }
        return o;
    }
}

std::optional<int> passEarly(int &argc, char **argv, Owner &found)
{
    const QCoreApplication core(argc, argv);
    const std::optional<QStringList> words = commandWords(core.arguments().mid(1));
    if (!words)
        return std::nullopt; // the windowing reads the arguments first, then the start proper
    const Command c = parseCommand(*words);
    if (!c.error.isEmpty()) {
        QTextStream(stderr) << "427: " << c.error << "\n\n" << usage(QStringLiteral("427"));
        return ExitUsage;
    }
    // A connection of its own: the application's default one, made now,
    // would hold back the calls to the board for good once this
    // application object is gone.
    const QString name = QStringLiteral("427-early");
    std::optional<int> status;
    {
        const QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
        found = findOwner(bus);
        status = settle(found, c, bus);
    }
    QDBusConnection::disconnectFromBus(name);
    return status;
}

Start begin(const Command &c, const Owner &early)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    // Claimed again when the owner ends while it is asked.
    for (int tries = 0; tries < 3; ++tries) {
        const Claim claim = claimName();
        if (claim == Claim::NoBus)
            break;
        if (claim == Claim::Owner) {
            Start s;
            s.board = std::make_unique<Board>();
            bus.registerObject(kPath, s.board.get(),
                               QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals
                                   | QDBusConnection::ExportAllProperties);
            return s;
        }
        const QDBusReply<QString> id = bus.interface()->serviceOwner(kService);
        if (!id.isValid())
            continue;
        const Owner o = early.kind != Owner::Nobody && early.id == id.value() ? early : findOwner(bus);
        if (std::optional<int> status = settle(o, c, bus))
            return {status, {}};
        if (o.kind == Owner::Nobody)
            continue;
        QTextStream(stderr) << "427: " << alone(o) << Qt::endl;
        break;
    }
    return {};
}

void serve(std::unique_ptr<Board> &board, const Command &c)
{
    if (!board && c.isNone())
        return;
    if (!board)
        board = std::make_unique<Board>();
    board->started();
    if (c.isNone())
        return;
    // Once the event loop runs, as a click after the start-up would.
    QTimer::singleShot(0, board.get(), [b = board.get(), c] {
        if (c.method == u"state") {
            QTextStream(stdout) << stateJson({{QStringLiteral("route"), b->route()},
                                              {QStringLiteral("row"), b->row()},
                                              {QStringLiteral("stopName"), b->stopName()},
                                              {QStringLiteral("cells"), b->cells()}});
            return;
        }
        if (const Refusal r = b->run(c))
            QTextStream(stderr) << "427: " << r.message << " (" << r.name << ")" << Qt::endl;
    });
}

} // namespace remote
