#pragma once
// What drives a recorded ride besides a script: the route's timetable at a
// speed, or a recorded NMEA drive at its own pace, each through the same
// followers 自動送り uses, on the recording's clock (milliseconds from the
// end of the lamp test).
#include "follow/RideFollower.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>
#include <optional>

namespace record {

class Drive {
public:
    // The trip's times from stop `current` (0-based) at `speed` ride seconds
    // a second (1..60). Empty, with why set, when the times cannot drive it.
    static std::unique_ptr<Drive> timetable(const QList<follow::Stop> &stops, int current, double speed, QString *why);
    // A recorded drive's fixes, one for each second of its sentences' times.
    static std::unique_ptr<Drive> nmea(const QList<follow::Stop> &stops, int current, const QByteArray &log,
                                       QString *why);

    // The events due by `ms`, in order, each once.
    QList<follow::Event> at(qint64 ms);
    // The stop the drive stands at (0-based), before the events at() gives.
    int current() const { return m_timetable ? m_timetable->current() : m_position ? m_position->current() : 0; }
    // When the last event is due.
    qint64 lengthMs() const { return m_lengthMs; }

private:
    Drive() = default;
    std::optional<follow::TimetableFollower> m_timetable;
    std::optional<follow::PositionFollower> m_position;
    double m_startSec = 0, m_speed = 1;
    QList<std::pair<qint64, std::pair<double, double>>> m_fixes; // (ms, (lat, lon))
    qsizetype m_nextFix = 0;
    qint64 m_lengthMs = 0;
};

} // namespace record
