#pragma once
// While the program waits with user input held back (a sound decoding or
// playing to its end, the lamp test), the windows go on painting and timers
// run, but nothing a user asks for may run in the middle. Clicks and keys
// wait in the window system's queue; actions that reach a control another
// way (an accessibility client pressing a button, a test robot) wait here,
// in the order they came, and run once the wait is over.
#include <functional>

namespace inputhold {

// One wait with input held back; waits may nest.
class Hold {
public:
    Hold();
    ~Hold();
    Hold(const Hold &) = delete;
    Hold &operator=(const Hold &) = delete;
};

bool held();

// Runs action now, or, while input is held, queues it to run after the
// outermost wait ends, from the event loop, in order.
void runOrDefer(std::function<void()> action);

} // namespace inputhold
