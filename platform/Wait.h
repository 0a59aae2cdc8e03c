#pragma once
// The waits the board makes (a lamp test, a pause after a sound) keep the
// windows painting but hold back the user's input until they are over.
namespace platform {

// ms <= 0 yields the processor once.
void pauseFor(int ms);

// Lets the windows paint what has changed, input held back as in a wait.
void paintPending();

} // namespace platform
