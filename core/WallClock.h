#pragma once
// The date and time printed on a ticket. The picture tools stop it at one
// moment, so that the pictures they draw come out the same on any day.
#include <QDateTime>

namespace wallclock {

QDateTime now();
void stopAt(const QDateTime &moment); // an invalid moment lets it run again

} // namespace wallclock
