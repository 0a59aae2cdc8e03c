#pragma once
// No exception may escape into Qt's event loop. Each event handler entry point
// runs its body through guarded(): whatever its own code did not trap is shown
// as the general unhandled-error report.
#include <QString>
#include <utility>

namespace platform {

void reportUnhandled(int number, const QString &description);
void reportUnhandledCurrent(); // the exception being handled

template<typename F>
bool guarded(F &&body)
{
    try {
        std::forward<F>(body)();
        return true;
    } catch (...) {
        reportUnhandledCurrent();
        return false;
    }
}

} // namespace platform
