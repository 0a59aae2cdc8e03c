#pragma once
// The stops beside a route (<route>.stops.csv, written by the open-data
// import): one stop a line after the header "seq,stop_id,name,lat,lon,
// arrival,departure", UTF-8; times as HH:MM:SS (past 24:00 for a trip that
// runs after midnight), empty where unknown.
#include "follow/RideFollower.h"

#include <QByteArrayView>
#include <QList>

namespace follow {

// The stops in order; raises a numbered error naming the line and column
// of what cannot be read. A stop without coordinates or times is kept, and
// the follower that needs them says so.
QList<Stop> readStopsFile(QByteArrayView bytes);

// "08:05:30" or "25:10:00" as seconds; -1 when empty or not a time.
int secondsOf(const QString &hhmmss);

} // namespace follow
