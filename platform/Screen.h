#pragma once
// How the windows reach the screen; call before the application object.
namespace platform {

// On X11 Qt hands the server each painted area through shared memory, and
// before painting that area again waits for the server to have read it: a
// round trip for every pixel the stop-name strip scrolls. The program sends
// its (small, frequent) updates down the connection instead.
void chooseScreenTransfer();

} // namespace platform
