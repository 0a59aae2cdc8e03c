#pragma once
// One board per desktop: the first start owns the name on the session bus;
// a later start hands its command to that one and ends. Without a session
// bus every start is a board of its own, as before there was one.
#include "remote/Command.h"

#include <memory>

namespace remote {

class Board;

enum class Claim { NoBus, Owner, Taken };

// Asks the session bus for the board's name (never queued behind its owner).
Claim claimName();

// A later start: raises the running board's windows, then gives it the
// command; the exit status of the program.
int forward(const Command &c);

// The first start, after the start-up: the board's object on the bus (when
// the name is ours), and the command it was started with.
std::unique_ptr<Board> serve(Claim claim, const Command &c);

} // namespace remote
