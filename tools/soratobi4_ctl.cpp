// soratobi4-ctl: drives the running board over the session bus.
#include "remote/Command.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout), err(stderr);
    const QStringList words = app.arguments().mid(1);
    if (words == QStringList{QStringLiteral("--version")}) {
        out << "soratobi4-ctl " S4_VERSION "\n";
        return remote::ExitOk;
    }
    if (words.isEmpty() || words.contains(QStringLiteral("--help")) || words.contains(QStringLiteral("-h"))) {
        (words.isEmpty() ? err : out) << remote::usage(QStringLiteral("soratobi4-ctl"));
        return words.isEmpty() ? remote::ExitUsage : remote::ExitOk;
    }
    const remote::Command c = remote::parseCommand(words);
    if (!c.error.isEmpty()) {
        err << "soratobi4-ctl: " << c.error << "\n\n" << remote::usage(QStringLiteral("soratobi4-ctl"));
        return remote::ExitUsage;
    }
    QString why;
    QTextStream whyStream(&why);
    const int status = remote::run(c, QDBusConnection::sessionBus(), out, whyStream);
    whyStream.flush();
    if (!why.isEmpty())
        err << "soratobi4-ctl: " << why;
    return status;
}
