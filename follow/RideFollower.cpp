#include "follow/RideFollower.h"

#include <algorithm>
#include <cmath>

namespace follow {

double distanceM(double lat1, double lon1, double lat2, double lon2)
{
    constexpr double kEarthRadiusM = 6371008.8;
    constexpr double kRad = M_PI / 180.0;
    const double dLat = (lat2 - lat1) * kRad;
    const double dLon = (lon2 - lon1) * kRad;
    const double a = std::sin(dLat / 2) * std::sin(dLat / 2)
                     + std::cos(lat1 * kRad) * std::cos(lat2 * kRad) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * kEarthRadiusM * std::asin(std::min(1.0, std::sqrt(a)));
}

// --- by position ---

PositionFollower::PositionFollower(QList<Stop> stops, int current, PositionSettings settings)
    : m_stops(std::move(stops)), m_settings(settings)
{
    m_usable = m_stops.size() >= 2
               && std::all_of(m_stops.begin(), m_stops.end(), [](const Stop &s) { return s.hasPosition; });
    rebase(current);
}

void PositionFollower::rebase(int current)
{
    const int to = std::clamp(current, 0, std::max(0, int(m_stops.size()) - 1));
    // Ahead of the bus: nothing more until it gets there. Back, or where it
    // stood: the bus is already there or beyond, and the ride goes on.
    m_waiting = to > m_current;
    m_current = to;
    m_announced = false;
    m_closest = -1;
    m_lastToNext = -1;
}

void PositionFollower::arrive(QList<Event> &out)
{
    out << Event::Step;
    ++m_current;
    m_announced = false;
    m_closest = -1;
}

QList<Event> PositionFollower::onFix(double lat, double lon)
{
    QList<Event> out;
    if (!m_usable || !std::isfinite(lat) || !std::isfinite(lon) || std::abs(lat) > 90 || std::abs(lon) > 180
        || m_current >= m_stops.size() - 1) {
        m_lastToNext = -1;
        return out;
    }
    const auto to = [&](int i) { return distanceM(lat, lon, m_stops[i].lat, m_stops[i].lon); };
    if (m_waiting) {
        const double toCurrent = to(m_current);
        m_lastToNext = toCurrent;
        m_closest = m_closest < 0 ? toCurrent : std::min(m_closest, toCurrent);
        const bool reached = toCurrent <= m_settings.arriveRadiusM;
        const bool passed = m_closest <= m_settings.passWindowM && toCurrent > m_closest + m_settings.passMarginM;
        if (!reached && !passed)
            return out;
        // There at last: from here the ride goes on as from a stop it reached.
        m_waiting = false;
        m_closest = -1;
    }
    const double toNext = to(m_current + 1);
    m_lastToNext = toNext;
    if (!m_announced) {
        // Still at the stop: a bus waiting there, or a fix that wanders
        // inside the radius, moves nothing.
        if (to(m_current) <= m_settings.leaveRadiusM && toNext > m_settings.arriveRadiusM)
            return out;
        out << Event::Announce;
        m_announced = true;
    }
    // The stop after the next one reached while the next was never seen
    // near: the next was passed in a gap of fixes. Step over it (one stop,
    // never more), announcing as the ride would have.
    if (m_current + 2 < m_stops.size() && toNext > m_settings.arriveRadiusM
        && to(m_current + 2) <= m_settings.arriveRadiusM) {
        arrive(out);
        out << Event::Announce;
        arrive(out);
        m_lastToNext = m_current < m_stops.size() - 1 ? to(m_current + 1) : -1;
        return out;
    }
    if (toNext <= m_settings.arriveRadiusM) {
        arrive(out);
        return out;
    }
    m_closest = m_closest < 0 ? toNext : std::min(m_closest, toNext);
    // Passed it without a fix inside the radius: the closest approach was
    // near, and the bus now moves away.
    if (m_closest <= m_settings.passWindowM && toNext > m_closest + m_settings.passMarginM)
        arrive(out);
    return out;
}

// --- by timetable ---

TimetableFollower::TimetableFollower(QList<Stop> stops, int current) : m_stops(std::move(stops))
{
    m_usable = m_stops.size() >= 2;
    for (int i = 0; m_usable && i < m_stops.size(); ++i) {
        if (arrival(i) < 0 || departure(i) < arrival(i))
            m_usable = false;
        else if (i > 0 && arrival(i) < departure(i - 1))
            m_usable = false;
    }
    rebase(current);
}

int TimetableFollower::arrival(int i) const
{
    const Stop &s = m_stops[i];
    return s.arrivalSec >= 0 ? s.arrivalSec : s.departureSec;
}

int TimetableFollower::departure(int i) const
{
    const Stop &s = m_stops[i];
    return s.departureSec >= 0 ? s.departureSec : s.arrivalSec;
}

int TimetableFollower::startSec(int current) const
{
    if (!m_usable)
        return 0;
    return arrival(std::clamp(current, 0, int(m_stops.size()) - 1));
}

void TimetableFollower::rebase(int current)
{
    m_current = std::clamp(current, 0, std::max(0, int(m_stops.size()) - 1));
    m_announced = false;
}

int TimetableFollower::stopAt(double rideSec) const
{
    int at = 0;
    while (m_usable && at + 1 < m_stops.size() && rideSec >= arrival(at + 1))
        ++at;
    return at;
}

int TimetableFollower::nextEventSec() const
{
    if (!m_usable || m_current >= m_stops.size() - 1)
        return -1;
    return m_announced ? arrival(m_current + 1) : departure(m_current);
}

QList<Event> TimetableFollower::onTime(double rideSec)
{
    QList<Event> out;
    while (m_usable && m_current < m_stops.size() - 1) {
        if (!m_announced) {
            if (rideSec < departure(m_current))
                break;
            // Late, the stop it would name already reached: said no more.
            if (rideSec >= arrival(m_current + 1)) {
                out << Event::Skipped;
                ++m_skipped;
            } else {
                out << Event::Announce;
            }
            m_announced = true;
        }
        if (rideSec < arrival(m_current + 1))
            break;
        out << Event::Step;
        ++m_current;
        m_announced = false;
    }
    return out;
}

// --- the ride clock ---

void RideClock::start(double rideSec, qint64 realMs, double speed)
{
    m_baseRide = rideSec;
    m_baseReal = realMs;
    m_speed = std::clamp(speed, 1.0, 60.0);
}

double RideClock::at(qint64 realMs) const
{
    return m_baseRide + double(realMs - m_baseReal) / 1000.0 * m_speed;
}

void RideClock::setSpeed(double speed, qint64 realMs)
{
    start(at(realMs), realMs, speed);
}

} // namespace follow
