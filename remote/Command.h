#pragma once
// The commands of soratobi4-ctl (and of a second start of the program, which
// passes its own to the running board): parsed from the words of a command
// line, and carried out over a bus connection.
#include <QDBusConnection>
#include <QString>
#include <QStringList>
#include <QVariantList>

class QTextStream;

namespace remote {

struct Command {
    QString method; // the bus method; "state" reads the properties; empty: none
    QVariantList args;
    QString error;  // why the words are no command
    bool isNone() const { return method.isEmpty() && error.isEmpty(); }
};

Command parseCommand(const QStringList &words);
QString usage(const QString &program);

// Exit statuses.
enum Exit : int { ExitOk = 0, ExitRefused = 1, ExitUsage = 2, ExitNoBoard = 3 };

// Carries the command out on the board the bus names; what it prints goes to
// out (the state as JSON) and err (refusals, with their error names).
int run(const Command &c, const QDBusConnection &bus, QTextStream &out, QTextStream &err);

// The state as soratobi4-ctl prints it, from the board's properties.
QString stateJson(const QVariantMap &properties);

// Whether a board owns its name on this bus.
bool boardRunning(const QDBusConnection &bus);

} // namespace remote
