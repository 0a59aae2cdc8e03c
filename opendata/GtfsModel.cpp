// The feed read into the model: stops, routes, trips, stop times, patterns and their names.
#include "opendata/GtfsParts.h"

namespace opendata::gtfs {

// A whole number of seconds after midnight ("25:10:00" is past midnight;
// "8:00" is read as 8:00:00, as some timetables write it), or -1.
int parseTime(std::string_view s)
{
    int parts[3] = {0, 0, 0}, n = 0;
    bool digit = false;
    for (char c : s) {
        if (c >= '0' && c <= '9') {
            if (parts[n] > 100000)
                return -1;
            parts[n] = parts[n] * 10 + (c - '0');
            digit = true;
        } else if (c == ':' && digit && n < 2) {
            ++n;
            digit = false;
        } else {
            return -1;
        }
    }
    if (n < 1 || !digit || parts[1] > 59 || parts[2] > 59)
        return -1;
    return parts[0] * 3600 + parts[1] * 60 + parts[2];
}

std::optional<qint64> parseInt(std::string_view s)
{
    if (s.empty() || s.size() > 12)
        return std::nullopt;
    qint64 v = 0;
    size_t i = 0;
    const bool neg = s[0] == '-';
    if (neg || s[0] == '+')
        ++i;
    if (i == s.size())
        return std::nullopt;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9')
            return std::nullopt;
        v = v * 10 + (s[i] - '0');
    }
    return neg ? -v : v;
}

// A price in yen: a whole number, "210" or "210.00", in 0..32767.
int16_t parsePrice(const CsvTable &t, const CsvRecord &r, int column)
{
    std::string_view s = sv(r, column);
    const size_t dot = s.find('.');
    if (dot != std::string_view::npos) {
        const std::string_view frac = s.substr(dot + 1);
        if (frac.empty() || frac.find_first_not_of('0') != std::string_view::npos)
            t.failAt(r, column, QStringLiteral("the price \"%1\" is not a whole number of yen").arg(QString::fromUtf8(s.data(), qsizetype(s.size()))), vb::ErrTypeMismatch);
        s = s.substr(0, dot);
    }
    const std::optional<qint64> v = parseInt(s);
    if (!v)
        t.failAt(r, column, QStringLiteral("the price \"%1\" is not a number").arg(CsvTable::text(r, column)), vb::ErrTypeMismatch);
    if (*v < 0 || *v > 32767)
        t.failAt(r, column, QStringLiteral("the price %1 does not fit the board (0..32767)").arg(*v), vb::ErrOverflow);
    return int16_t(*v);
}

// What the listing and the import share: the stops, routes, trips and the
// stop patterns of the trips. Deques grow without copying what they hold,
// so a large feed never needs twice its memory.


// What a text costs in memory: its characters and its allocation.
qint64 cost(const QString &s) { return s.isEmpty() ? 0 : 48 + 2 * qint64(s.size()); }
// An id as the key of an Ids map: the string, its heap copy when long, the node.
qint64 keyCost(const QString &id) { return 64 + (id.size() > 15 ? 48 + 3 * qint64(id.size()) : 0); }

constexpr int kMaxStopName = 256; // characters

void readStops(const Feed &feed, Model &m)
{
    int cId = -1, cName, cLat, cLon, cZone, cParent;
    int longNames = 0;
    readTable(
        feed, kStops,
        [&](const CsvTable &t, const CsvRecord &r) {
            Stop s;
            s.id = CsvTable::text(r, cId);
            if (s.id.isEmpty())
                t.failAt(r, cId, QStringLiteral("a stop without an id"));
            s.name = CsvTable::text(r, cName);
            // No stop is called by a page of text; every later step works on each character of the name.
            if (s.name.size() > kMaxStopName) {
                s.name.truncate(s.name[kMaxStopName - 1].isHighSurrogate() ? kMaxStopName - 1 : kMaxStopName);
                ++longNames;
            }
            s.zone = CsvTable::text(r, cZone);
            s.parentId = CsvTable::text(r, cParent);
            bool okLat = false, okLon = false;
            const QString lat = CsvTable::text(r, cLat), lon = CsvTable::text(r, cLon);
            s.lat = lat.toDouble(&okLat);
            s.lon = lon.toDouble(&okLon);
            s.hasCoord = okLat && okLon && qAbs(s.lat) <= 90 && qAbs(s.lon) <= 180;
            m.keep(t, r, qint64(sizeof(Stop)) + cost(s.id) + cost(s.name) + cost(s.zone) + cost(s.parentId) + keyCost(s.id),
                   feed.limits().maxModelBytes);
            if (!m.stopIds.emplace(s.id.toStdString(), int(m.stops.size())).second)
                t.failAt(r, cId, QStringLiteral("the stop id %1 is given twice").arg(s.id));
            m.stops.push_back(std::move(s));
        },
        [&](const CsvTable &t) {
            cId = t.required("stop_id");
            cName = t.column("stop_name");
            cLat = t.column("stop_lat");
            cLon = t.column("stop_lon");
            cZone = t.column("zone_id");
            cParent = t.column("parent_station");
        });
    if (longNames)
        m.warnings << QStringLiteral("stops.txt: %1 stop names longer than %2 characters are cut to that").arg(longNames).arg(kMaxStopName);
    for (Stop &s : m.stops)
        if (!s.parentId.isEmpty())
            s.parent = find(m.stopIds, s.parentId.toStdString());
}

void readRoutes(const Feed &feed, Model &m)
{
    // The operators' names, for routes that have none of their own.
    QHash<QString, QString> agencies;
    if (feed.has(kAgency)) {
        int cAgency = -1, cAgencyName = -1;
        readTable(
            feed, kAgency,
            [&](const CsvTable &, const CsvRecord &r) { agencies.insert(CsvTable::text(r, cAgency), CsvTable::text(r, cAgencyName)); },
            [&](const CsvTable &t) {
                cAgency = t.column("agency_id");
                cAgencyName = t.column("agency_name");
            });
    }
    int cId = -1, cShort, cLong, cParent, cNetwork, cAgency, cType;
    readTable(
        feed, kRoutes,
        [&](const CsvTable &t, const CsvRecord &r) {
            Route x;
            x.id = CsvTable::text(r, cId);
            x.shortName = CsvTable::text(r, cShort);
            x.longName = CsvTable::text(r, cLong);
            x.parentId = CsvTable::text(r, cParent);
            x.networkId = CsvTable::text(r, cNetwork);
            // A feed of one operator may leave agency_id out.
            const QString agency = CsvTable::text(r, cAgency);
            x.agencyName = agency.isEmpty() && agencies.size() == 1 ? agencies.cbegin().value() : agencies.value(agency);
            if (const std::optional<qint64> type = parseInt(sv(r, cType)); type && *type >= 0 && *type < 10000)
                x.type = int(*type);
            m.keep(t, r, qint64(sizeof(Route)) + cost(x.id) + cost(x.shortName) + cost(x.longName) + cost(x.parentId) + cost(x.networkId) + cost(x.agencyName) + keyCost(x.id),
                   feed.limits().maxModelBytes);
            if (!m.routeIds.emplace(x.id.toStdString(), int(m.routes.size())).second)
                t.failAt(r, cId, QStringLiteral("the route id %1 is given twice").arg(x.id));
            m.routes.push_back(std::move(x));
        },
        [&](const CsvTable &t) {
            cId = t.required("route_id");
            cShort = t.column("route_short_name");
            cLong = t.column("route_long_name");
            cParent = t.column("jp_parent_route_id");
            cNetwork = t.column("network_id");
            cAgency = t.column("agency_id");
            cType = t.column("route_type");
        });
}

void readTrips(const Feed &feed, Model &m)
{
    int cRoute = -1, cTrip = -1, cDir, cHead;
    // Directions and headsigns repeat over thousands of trips: one copy each.
    QSet<QString> shared;
    qint64 fresh = 0;
    const auto intern = [&](const QString &text) {
        if (text.isEmpty())
            return text;
        const qsizetype before = shared.size();
        const QString &kept = *shared.insert(text);
        if (shared.size() != before)
            fresh += 32 + cost(text);
        return kept;
    };
    readTable(
        feed, kTrips,
        [&](const CsvTable &t, const CsvRecord &r) {
            Trip x;
            x.route = find(m.routeIds, sv(r, cRoute));
            if (x.route < 0)
                t.failAt(r, cRoute, QStringLiteral("the route %1 is not in routes.txt").arg(CsvTable::text(r, cRoute)));
            x.id = CsvTable::text(r, cTrip);
            x.direction = intern(CsvTable::text(r, cDir));
            x.headsign = intern(CsvTable::text(r, cHead));
            m.keep(t, r, qint64(sizeof(Trip)) + cost(x.id) + keyCost(x.id) + std::exchange(fresh, 0), feed.limits().maxModelBytes);
            if (!m.tripIds.emplace(x.id.toStdString(), int(m.trips.size())).second)
                t.failAt(r, cTrip, QStringLiteral("the trip id %1 is given twice").arg(x.id));
            m.trips.push_back(std::move(x));
        },
        [&](const CsvTable &t) {
            cRoute = t.required("route_id");
            cTrip = t.required("trip_id");
            cDir = t.column("direction_id");
            cHead = t.column("trip_headsign");
        });
}

// The columns of stop_times.txt, and one row's trip looked up with the last
// one kept: feeds list a trip's stops together.
struct StopTimeColumns {
    int trip = -1, stop = -1, seq = -1, arrival = -1, departure = -1, pickup = -1;
    std::string lastTrip;
    int lastTripIndex = -1;

    void find(const CsvTable &t)
    {
        trip = t.required("trip_id");
        stop = t.required("stop_id");
        seq = t.required("stop_sequence");
        arrival = t.column("arrival_time");
        departure = t.column("departure_time");
        pickup = t.column("pickup_type");
    }
    Row row(const CsvTable &t, const CsvRecord &r, const Model &m)
    {
        Row x;
        const std::string_view id = sv(r, trip);
        if (lastTripIndex < 0 || id != lastTrip) {
            lastTripIndex = gtfs::find(m.tripIds, id);
            if (lastTripIndex < 0)
                t.failAt(r, trip, QStringLiteral("the trip %1 is not in trips.txt").arg(CsvTable::text(r, trip)));
            lastTrip.assign(id);
        }
        x.trip = lastTripIndex;
        x.stop = gtfs::find(m.stopIds, sv(r, stop));
        if (x.stop < 0)
            t.failAt(r, stop, QStringLiteral("the stop %1 is not in stops.txt").arg(CsvTable::text(r, stop)));
        const std::optional<qint64> s = parseInt(sv(r, seq));
        if (!s || *s < 0 || *s > INT32_MAX)
            t.failAt(r, seq, QStringLiteral("the stop_sequence \"%1\" is not a whole number").arg(CsvTable::text(r, seq)), vb::ErrTypeMismatch);
        x.seq = int(*s);
        return x;
    }
};

// A row's order along its trip; rows that claim the same place keep the
// order of their stops, so both reads of a trip agree.
bool alongTrip(const Row &a, const Row &b)
{
    return a.trip != b.trip ? a.trip < b.trip : a.seq != b.seq ? a.seq < b.seq : a.stop < b.stop;
}

// The rows the patterns need, 12 bytes each, and each trip's first time.
void readStopTimes(const Feed &feed, Model &m)
{
    StopTimeColumns c;
    int badTimes = 0;
    std::vector<int> timedSeq(m.trips.size(), INT32_MAX);
    m.departs.assign(m.trips.size(), INT32_MAX);
    readTable(
        feed, kStopTimes,
        [&](const CsvTable &t, const CsvRecord &r) {
            const Row x = c.row(t, r, m);
            const std::string_view arr = sv(r, c.arrival), dep = sv(r, c.departure);
            const int arrival = arr.empty() ? -1 : parseTime(arr);
            const int departure = dep.empty() ? -1 : parseTime(dep);
            if ((!arr.empty() && arrival < 0) || (!dep.empty() && departure < 0))
                ++badTimes;
            // A trip leaves at the first of its stops that has a time.
            if ((arrival >= 0 || departure >= 0) && x.seq < timedSeq[size_t(x.trip)]) {
                timedSeq[size_t(x.trip)] = x.seq;
                m.departs[size_t(x.trip)] = departure >= 0 ? departure : arrival;
            }
            m.times.push_back(x);
        },
        [&](const CsvTable &t) { c.find(t); });
    if (badTimes)
        m.warnings << QStringLiteral("stop_times.txt: %1 times are not H:MM or H:MM:SS and are left out").arg(badTimes);
    // Feeds are mostly written in trip order already; in place, as no copy of a large feed fits.
    if (!std::is_sorted(m.times.begin(), m.times.end(), alongTrip))
        std::sort(m.times.begin(), m.times.end(), alongTrip);
}

// The rows of one trip with their times and pickups, in the order the
// pattern was built from.
std::vector<StopTime> tripTimes(const Feed &feed, const Model &m, int trip)
{
    StopTimeColumns c;
    std::vector<StopTime> rows;
    // The trip's id as the rows write it: every other row is passed over by its bytes.
    std::string id;
    for (const auto &[key, index] : m.tripIds)
        if (index == trip)
            id = key;
    readTable(
        feed, kStopTimes,
        [&](const CsvTable &t, const CsvRecord &r) {
            if (sv(r, c.trip) != id)
                return;
            const Row x = c.row(t, r, m);
            const std::string_view arr = sv(r, c.arrival), dep = sv(r, c.departure);
            rows.push_back({x.trip, x.seq, x.stop, arr.empty() ? -1 : parseTime(arr), dep.empty() ? -1 : parseTime(dep),
                            int8_t(sv(r, c.pickup) == "1" ? 1 : 0)});
        },
        [&](const CsvTable &t) { c.find(t); });
    std::sort(rows.begin(), rows.end(), [](const StopTime &a, const StopTime &b) {
        return alongTrip({a.trip, a.seq, a.stop}, {b.trip, b.seq, b.stop});
    });
    return rows;
}

// The times of several trips in one pass over stop_times.txt, each in stop
// order (for the stops file's day of trips).
std::vector<std::vector<StopTime>> tripsTimes(const Feed &feed, const Model &m, const std::vector<int> &trips)
{
    StopTimeColumns c;
    std::unordered_map<std::string, size_t> wanted;
    for (const auto &[key, index] : m.tripIds)
        if (const auto at = std::find(trips.begin(), trips.end(), index); at != trips.end())
            wanted.emplace(key, size_t(at - trips.begin()));
    std::vector<std::vector<StopTime>> out(trips.size());
    readTable(
        feed, kStopTimes,
        [&](const CsvTable &t, const CsvRecord &r) {
            const auto it = wanted.find(std::string(sv(r, c.trip)));
            if (it == wanted.end())
                return;
            const Row x = c.row(t, r, m);
            const std::string_view arr = sv(r, c.arrival), dep = sv(r, c.departure);
            out[it->second].push_back({x.trip, x.seq, x.stop, arr.empty() ? -1 : parseTime(arr),
                                       dep.empty() ? -1 : parseTime(dep), int8_t(sv(r, c.pickup) == "1" ? 1 : 0)});
        },
        [&](const CsvTable &t) { c.find(t); });
    for (auto &rows : out)
        std::sort(rows.begin(), rows.end(), [](const StopTime &a, const StopTime &b) {
            return alongTrip({a.trip, a.seq, a.stop}, {b.trip, b.seq, b.stop});
        });
    return out;
}

void buildPatterns(Model &m, int maxPatterns)
{
    // Patterns by a hash of their route, direction and stops; the stops are
    // compared in full, so no key copies a trip's stops.
    std::unordered_multimap<size_t, int> index;
    size_t i = 0;
    std::vector<int> stops;
    while (i < m.times.size()) {
        const int trip = m.times[i].trip;
        stops.clear();
        for (; i < m.times.size() && m.times[i].trip == trip; ++i)
            stops.push_back(m.times[i].stop);
        const Trip &t = m.trips[size_t(trip)];
        size_t h = std::hash<int>{}(t.route) * 31 + qHash(t.direction);
        for (int s : stops)
            h = h * 1000003u ^ size_t(s);
        int found = -1;
        for (auto [it, end] = index.equal_range(h); it != end && found < 0; ++it) {
            const Pattern &p = m.patterns[size_t(it->second)];
            if (p.route == t.route && p.direction == t.direction && p.stops == stops)
                found = it->second;
        }
        if (found < 0) {
            if (int(m.patterns.size()) >= maxPatterns)
                fail(vb::ErrOutOfMemory, kStopTimes, 0, 0, {},
                     QStringLiteral("more than %1 stop patterns; the import lists at most %1").arg(maxPatterns));
            found = int(m.patterns.size());
            index.emplace(h, found);
            m.patterns.push_back({t.route, t.direction, stops, {}});
        }
        m.patterns[size_t(found)].trips.push_back(trip);
    }
    std::deque<Row>().swap(m.times); // the patterns hold what the listing needs of the rows
    const std::vector<int> &depart = m.departs;
    for (Pattern &p : m.patterns)
        std::stable_sort(p.trips.begin(), p.trips.end(), [&](int a, int b) { return depart[size_t(a)] < depart[size_t(b)]; });
    // Routes in file order, directions in order, most trips first.
    std::stable_sort(m.patterns.begin(), m.patterns.end(), [](const Pattern &a, const Pattern &b) {
        if (a.route != b.route)
            return a.route < b.route;
        if (a.direction != b.direction)
            return a.direction < b.direction;
        return a.trips.size() > b.trips.size();
    });
}

Model loadModel(const Feed &feed)
{
    feed.restartCount();
    Model m;
    readStops(feed, m);
    readRoutes(feed, m);
    readTrips(feed, m);
    readStopTimes(feed, m);
    buildPatterns(m, feed.limits().maxPatterns);
    return m;
}

QString stopName(const Model &m, int stop)
{
    const Stop &s = m.stops[size_t(stop)];
    if (!s.name.isEmpty())
        return s.name;
    if (s.parent >= 0 && !m.stops[size_t(s.parent)].name.isEmpty())
        return m.stops[size_t(s.parent)].name;
    return s.id;
}

// The route as a rider knows it; a route the feed leaves without a name
// goes by where its buses go (the headsign, else the first and last stop)
// after its operator's name.
QString routeName(const Route &r, const QString &headsign, const QString &first, const QString &last)
{
    if (!r.shortName.isEmpty() && !r.longName.isEmpty() && r.shortName != r.longName)
        return r.shortName + u' ' + r.longName;
    if (!r.longName.isEmpty() || !r.shortName.isEmpty())
        return !r.longName.isEmpty() ? r.longName : r.shortName;
    QString where = !headsign.isEmpty() ? headsign : first.isEmpty() ? r.id : QStringLiteral("%1～%2").arg(first, last);
    return r.agencyName.isEmpty() ? where : r.agencyName + u' ' + where;
}

PatternInfo infoOf(const Model &m, const Pattern &p, int rank)
{
    PatternInfo info;
    const Route &r = m.routes[size_t(p.route)];
    info.routeId = r.id;
    info.routeType = r.type;
    info.parentRouteId = r.parentId;
    info.directionId = p.direction;
    info.rank = rank;
    info.stops = int(p.stops.size());
    if (!p.stops.empty()) {
        info.firstStop = stopName(m, p.stops.front());
        info.lastStop = stopName(m, p.stops.back());
    }
    info.trips = int(p.trips.size());
    QHash<QString, int> heads;
    for (int t : p.trips)
        if (!m.trips[size_t(t)].headsign.isEmpty())
            heads[m.trips[size_t(t)].headsign] += 1;
    int best = 0;
    for (auto it = heads.cbegin(); it != heads.cend(); ++it)
        if (it.value() > best || (it.value() == best && it.key() < info.headsign))
            best = it.value(), info.headsign = it.key();
    info.routeName = routeName(r, info.headsign, info.firstStop, info.lastStop);
    if (info.headsign.isEmpty())
        info.headsign = info.lastStop;
    if (!p.trips.empty())
        info.firstTripId = m.trips[size_t(p.trips.front())].id;
    return info;
}

QList<PatternInfo> infos(const Model &m)
{
    QList<PatternInfo> out;
    for (size_t i = 0; i < m.patterns.size(); ++i) {
        const bool sameGroup = i > 0 && m.patterns[i - 1].route == m.patterns[i].route &&
                               m.patterns[i - 1].direction == m.patterns[i].direction;
        out.append(infoOf(m, m.patterns[i], sameGroup ? out.back().rank + 1 : 0));
    }
    return out;
}


} // namespace opendata::gtfs
