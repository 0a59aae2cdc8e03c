#include "remote/Instance.h"

#include "remote/Board.h"
#include "remote/BusNames.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <cstdio>

namespace remote {

namespace {

// The first start owns the name before its windows are up; the raise waits
// this long for its object.
constexpr int kStartingMs = 15000;

bool notThereYet(const QDBusMessage &reply)
{
    const QString e = reply.errorName();
    return e == u"org.freedesktop.DBus.Error.UnknownObject" || e == u"org.freedesktop.DBus.Error.UnknownMethod"
           || e == u"org.freedesktop.DBus.Error.UnknownInterface";
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

int forward(const Command &c)
{
    QTextStream out(stdout), err(stderr);
    const QDBusConnection bus = QDBusConnection::sessionBus();
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        const QDBusMessage reply =
            bus.call(QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("raise")));
        if (reply.type() != QDBusMessage::ErrorMessage)
            break;
        if (!notThereYet(reply) || waited.elapsed() > kStartingMs) {
            err << "427: the running board did not answer: " << reply.errorMessage() << Qt::endl;
            return ExitNoBoard;
        }
        QThread::msleep(100);
    }
    return c.isNone() ? int(ExitOk) : run(c, bus, out, err);
}

std::unique_ptr<Board> serve(Claim claim, const Command &c)
{
    if (claim != Claim::Owner && c.isNone())
        return {};
    auto board = std::make_unique<Board>();
    if (claim == Claim::Owner)
        QDBusConnection::sessionBus().registerObject(
            kPath, board.get(),
            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals | QDBusConnection::ExportAllProperties);
    if (!c.isNone()) {
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
    return board;
}

} // namespace remote
