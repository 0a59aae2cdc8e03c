#pragma once
// The stops beside a route (<route>.stops.csv, written by the open-data
// import): one stop a line after the header "seq,stop_id,name,lat,lon,
// arrival,departure", UTF-8; times as HH:MM:SS (past 24:00 for a trip that
// runs after midnight), empty where unknown. arrival and departure are the
// trip the route was made from; the day's other trips of the same stops
// may follow as pairs of columns "arrival:TRIP_ID,departure:TRIP_ID" (a
// reader that knows only the first seven columns passes them over).
#include "follow/RideFollower.h"

#include <QByteArrayView>
#include <QList>

namespace follow {

// The stops in order; raises a numbered error naming the line and column
// of what cannot be read. A stop without coordinates or times is kept, and
// the follower that needs them says so.
// With `trips`, the trips of the extra columns too, in the file's order.
struct Trip {
    QString id;
    QList<int> arrivalSec, departureSec; // by stop, -1 unknown
    int firstDepartureSec() const;       // -1 when the trip has no time
};
QList<Stop> readStopsFile(QByteArrayView bytes, QList<Trip> *trips = nullptr);

// The stops with a trip's times in place of the file's own.
QList<Stop> withTrip(QList<Stop> stops, const Trip &trip);

// "08:05:30" or "25:10:00" as seconds; -1 when empty or not a time.
int secondsOf(const QString &hhmmss);

} // namespace follow
