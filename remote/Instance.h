#pragma once
// One board per desktop: the first start owns the name on the session bus;
// a later start hands its command to that one and ends. Without a session
// bus every start is a board of its own, as before there was one; so is a
// start that finds the name held by a program that is no board, or by one
// that does not answer.
#include "remote/Command.h"

#include <QDBusMessage>

#include <memory>
#include <optional>

namespace remote {

class Board;

enum class Claim { NoBus, Owner, Taken };

// Asks the session bus for the board's name (never queued behind its owner).
Claim claimName();

// What holds the board's name, as a later start finds it by asking it to
// raise() its windows.
struct Owner {
    enum Kind {
        Nobody,   // no one (any more)
        Board,    // a board: it answered, or refused as a board refuses
        Starting, // a board whose windows did not come up in time
        Stranger, // a program that is no board
        Silent,   // no answer within kAnswerMs (stopped, or frozen)
    } kind = Nobody;
    QString id;         // its unique name on the bus
    QDBusMessage reply; // its answer to raise()
};

Owner findOwner(const QDBusConnection &bus);

// A later start, before there is a display: when a board answers, the
// command is passed to it and this is the program's exit status. What was
// found is kept in found, so the start does not ask the same owner twice.
std::optional<int> passEarly(int &argc, char **argv, Owner &found);

// The start proper, with the command of the command line: either the exit
// status (the command went to the running board, or no board answered as
// it should), or the program goes on as a board, with its object on the bus
// when the name is ours (refusing calls until serve()).
struct Start {
    std::optional<int> exit;
    std::unique_ptr<Board> board;
};
Start begin(const Command &c, const Owner &early);

// After the start-up: the board takes calls, and carries out the command
// it was started with (a board of its own is made for it when not on the bus).
void serve(std::unique_ptr<Board> &board, const Command &c);

} // namespace remote
