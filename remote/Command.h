#pragma once
// The commands of soratobi4-ctl (and of a second start of the program, which
// passes its own to the running board): parsed from the words of a command
// line, and carried out over a bus connection.
#include <QDBusConnection>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <optional>

class QTextStream;

namespace remote {

struct Command {
    QString method; // the bus method; "state" reads the properties; empty: none
    QVariantList args;
    QString error;  // why the words are no command
    bool isNone() const { return method.isEmpty() && error.isEmpty(); }
};

Command parseCommand(const QStringList &words);

// The command's words among a start's arguments (the program's name left
// out), without the options the windowing takes (-display :1, -platform xcb,
// -style=fusion...): a command can be passed on before there is a display.
// Nothing when an argument is an option not known here.
std::optional<QStringList> commandWords(const QStringList &arguments);
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

// How long the owner of the name has to answer before it counts as gone
// (a stopped process, a frozen one).
constexpr int kAnswerMs = 2000;

// Whether the owner of the name answers on the bus at all (the bus library
// replies for it, whatever its windows are doing) within kAnswerMs.
bool ownerAlive(const QDBusConnection &bus, const QString &owner);

// A call's error that says the owner of the name is no board.
bool notABoard(const QString &errorName);

} // namespace remote
