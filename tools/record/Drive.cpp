#include "tools/record/Drive.h"

#include "follow/Nmea.h"

namespace record {

std::unique_ptr<Drive> Drive::timetable(const QList<follow::Stop> &stops, int current, double speed, QString *why)
{
    follow::TimetableFollower f(stops, current);
    if (!f.usable()) {
        *why = QStringLiteral("the stops file has no times for the whole trip, or they run backwards");
        return {};
    }
    std::unique_ptr<Drive> d(new Drive);
    d->m_startSec = f.startSec(current);
    d->m_speed = speed;
    // The last event's time, from a copy run through to the terminus.
    follow::TimetableFollower run = f;
    double last = d->m_startSec;
    for (int guard = 0; guard < 4 * int(stops.size()) + 4 && run.nextEventSec() >= 0; ++guard) {
        last = run.nextEventSec();
        run.onTime(last);
    }
    d->m_lengthMs = qint64((last - d->m_startSec) * 1000 / speed + 0.999);
    d->m_timetable.emplace(std::move(f));
    return d;
}

std::unique_ptr<Drive> Drive::nmea(const QList<follow::Stop> &stops, int current, const QByteArray &log, QString *why)
{
    follow::PositionFollower f(stops, current);
    if (!f.usable()) {
        *why = QStringLiteral("the stops file has no position for every stop");
        return {};
    }
    std::unique_ptr<Drive> d(new Drive);
    int first = -1, lastSec = -1;
    qint64 dayOffset = 0;
    for (const QByteArray &line : log.split('\n')) {
        const std::optional<nmea::Fix> fix = nmea::parse(line.trimmed());
        if (!fix)
            continue;
        // Both sentences of a second carry one position: the second's first.
        if (fix->secondsOfDay >= 0) {
            if (fix->secondsOfDay == lastSec)
                continue;
            if (lastSec >= 0 && fix->secondsOfDay < lastSec)
                dayOffset += 86400; // past midnight
            lastSec = fix->secondsOfDay;
            if (first < 0)
                first = fix->secondsOfDay;
        }
        const qint64 ms = fix->secondsOfDay >= 0 ? (fix->secondsOfDay + dayOffset - first) * 1000
                                                  : qint64(d->m_fixes.size()) * 1000;
        d->m_fixes.append({ms, {fix->lat, fix->lon}});
    }
    if (d->m_fixes.isEmpty()) {
        *why = QStringLiteral("the drive holds no position");
        return {};
    }
    d->m_lengthMs = d->m_fixes.last().first;
    d->m_position.emplace(std::move(f));
    return d;
}

QList<follow::Event> Drive::at(qint64 ms)
{
    if (m_timetable)
        return m_timetable->onTime(m_startSec + double(ms) * m_speed / 1000);
    QList<follow::Event> events;
    while (m_position && m_nextFix < m_fixes.size() && m_fixes[m_nextFix].first <= ms) {
        const auto &[lat, lon] = m_fixes[m_nextFix++].second;
        events += m_position->onFix(lat, lon);
    }
    return events;
}

} // namespace record
