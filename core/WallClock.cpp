#include "core/WallClock.h"

namespace wallclock {
namespace {
QDateTime g_stopped;
}

QDateTime now() { return g_stopped.isValid() ? g_stopped : QDateTime::currentDateTime(); }

void stopAt(const QDateTime &moment) { g_stopped = moment; }

} // namespace wallclock
