#pragma once
// The board following the bus: positions (from a receiver, a gpsd or a
// recorded drive) or the ticks of a ride clock go in; "announce the next
// stop" and "step to the next stop" come out, and the console runs its own
// handlers on them ("送り" and "データ送り"). Pure: no window, no timer, no
// device; the caller brings the positions and the clock.
#include <QList>
#include <QString>

namespace follow {

struct Stop {
    QString name;
    double lat = 0, lon = 0;
    bool hasPosition = false;
    int arrivalSec = -1;   // seconds after midnight of the ride's day, -1 unknown
    int departureSec = -1; // the same; a stop with only one time uses it for both
};

enum class Event {
    Announce, // the bus leaves the current stop: the next stop is announced
    Step,     // the bus reaches the next stop: the fares step to it
    Skipped,  // the announcement of the next stop came too late: the list moves past it unsaid
};

// Great-circle distance in metres (the haversine formula on a sphere of the
// earth's mean radius: within 0.5 % of the ellipsoid, and exact enough for
// radii of tens of metres).
double distanceM(double lat1, double lon1, double lat2, double lon2);

struct PositionSettings {
    double leaveRadiusM = 30;  // farther than this from the current stop: it has been left
    double arriveRadiusM = 30; // nearer than this to the next stop: it is reached
    // A stop the bus passed without a fix inside the arrival radius is
    // still reached: the closest approach was within this distance, and
    // the bus has since moved away from it by more than the margin.
    double passWindowM = 150;
    double passMarginM = 40; // more than twice the jitter of a fix (±15 m)
};

// Steps by position. The ride starts at stop `current` (0-based, the
// console's row - 1). It never goes backwards by itself and steps over at
// most one stop at a time; hand stepping re-bases it. Re-based ahead of
// where it stood, it waits for the bus to reach the stop the board now
// shows (within the arrival radius, or passed near) before it moves again.
class PositionFollower {
public:
    PositionFollower(QList<Stop> stops, int current, PositionSettings settings = {});

    // Usable only when every stop has its coordinates.
    bool usable() const { return m_usable; }

    QList<Event> onFix(double lat, double lon);

    // The ride was stepped by hand (or by the announcement list).
    void rebase(int current);

    int current() const { return m_current; }
    // Stepped ahead by hand: the bus has not yet reached the board's stop.
    bool waiting() const { return m_waiting; }
    // The distance to the next stop at the last fix; negative before any fix
    // or at the last stop.
    double distanceToNextM() const { return m_lastToNext; }

private:
    void arrive(QList<Event> &out);

    QList<Stop> m_stops;
    PositionSettings m_settings;
    int m_current = 0;
    bool m_usable = false;
    bool m_announced = false; // the current stop has been left and the next announced
    bool m_waiting = false;   // stepped ahead by hand; the bus is still short of the current stop
    double m_closest = -1;    // the closest approach to the stop awaited, since leaving
    double m_lastToNext = -1;
};

// Steps by the timetable of one trip. The ride clock is ride time in
// seconds after midnight; the caller turns real time into ride time with
// its speed factor and re-bases it when the ride is paused or stepped by
// hand. Leaving stop i (its departure time) announces stop i + 1; reaching
// stop i + 1 (its arrival time) steps. The board keeps to the clock: an
// announcement found late (the clock already at or past the arrival at the
// stop it names) is skipped (Skipped in its place), and the step follows.
class TimetableFollower {
public:
    TimetableFollower(QList<Stop> stops, int current);

    // Usable only when the trip's times are known and never run backwards.
    bool usable() const { return m_usable; }

    // The ride time at which the ride stands when it starts at `current`:
    // that stop's arrival (so its departure is the first event).
    int startSec(int current) const;

    QList<Event> onTime(double rideSec);
    void rebase(int current);
    // Announcements skipped as late since the ride started.
    int skipped() const { return m_skipped; }
    // The stop the timetable has the bus at (or last left) at a ride time:
    // the last whose arrival is due.
    int stopAt(double rideSec) const;
    int current() const { return m_current; }
    // The next event's ride time, or -1 at the terminus.
    int nextEventSec() const;

private:
    int arrival(int i) const;
    int departure(int i) const;

    QList<Stop> m_stops;
    int m_current = 0;
    bool m_usable = false;
    bool m_announced = false;
    int m_skipped = 0;
};

// Ride time from real time: `speed` ride seconds for each real second (1 to
// 60), from a base that pausing and hand stepping re-set.
class RideClock {
public:
    void start(double rideSec, qint64 realMs, double speed);
    double at(qint64 realMs) const;
    void setSpeed(double speed, qint64 realMs);
    double speed() const { return m_speed; }

private:
    double m_baseRide = 0;
    qint64 m_baseReal = 0;
    double m_speed = 1;
};

} // namespace follow
