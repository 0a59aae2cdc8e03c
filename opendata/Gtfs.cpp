#include "opendata/Gtfs.h"

#include "core/Cp932.h"

#include <QDir>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <climits>
#include <deque>
#include <map>
#include <set>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace opendata {

namespace {

const QString kStops = QStringLiteral("stops.txt");
const QString kRoutes = QStringLiteral("routes.txt");
const QString kTrips = QStringLiteral("trips.txt");
const QString kStopTimes = QStringLiteral("stop_times.txt");
const QString kFareAttributes = QStringLiteral("fare_attributes.txt");
const QString kFareRules = QStringLiteral("fare_rules.txt");
const QString kFareLegRules = QStringLiteral("fare_leg_rules.txt");
const QString kFareProducts = QStringLiteral("fare_products.txt");
const QString kStopAreas = QStringLiteral("stop_areas.txt");
const QString kRouteNetworks = QStringLiteral("route_networks.txt");
const QString kTranslations = QStringLiteral("translations.txt");
const QString kAgency = QStringLiteral("agency.txt");

// Ids looked up by their bytes, a million times for stop_times.txt: no
// string is built for a lookup.
struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};
using Ids = std::unordered_map<std::string, int, Hash, std::equal_to<>>;

std::string_view sv(QByteArrayView v)
{
    // Ids are compared as written, without the blanks around them.
    qsizetype b = 0, e = v.size();
    while (b < e && (v[b] == ' ' || v[b] == '\t'))
        ++b;
    while (e > b && (v[e - 1] == ' ' || v[e - 1] == '\t'))
        --e;
    return std::string_view(v.data() + b, size_t(e - b));
}
std::string_view sv(const CsvRecord &r, int column) { return column < 0 ? std::string_view() : sv(r.field(column)); }
int find(const Ids &ids, std::string_view key)
{
    const auto it = ids.find(key);
    return it == ids.end() ? -1 : it->second;
}

struct Stop {
    QString id, name, zone, parentId;
    int parent = -1;
    double lat = 0, lon = 0;
    bool hasCoord = false;
};
struct Route {
    QString id, shortName, longName, parentId, networkId;
    QString agencyName;
    int type = 3; // route_type: 3 a bus
};
struct Trip {
    int route = -1;
    QString id, direction, headsign;
};
// A stop_times row as the listing needs it: a million of them in 12 MB.
struct Row {
    int trip, seq, stop;
};
// The chosen trip's rows, read again with their times.
struct StopTime {
    int trip, seq, stop, arrival, departure;
    int8_t pickup;
};

struct Pattern {
    int route;
    QString direction;
    std::vector<int> stops;
    std::vector<int> trips;
};

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
struct Model {
    std::deque<Stop> stops;
    Ids stopIds;
    std::deque<Route> routes;
    Ids routeIds;
    std::deque<Trip> trips;
    Ids tripIds;
    std::vector<int> departs;    // of each trip: the time of its first timed stop, INT32_MAX if none
    std::deque<Row> times;       // until the patterns are built
    std::vector<Pattern> patterns;
    QStringList warnings;
    qint64 kept = 0;             // bytes the stops, routes and trips hold, about

    // Counts what a row keeps; past the bound the read stops at that row.
    void keep(const CsvTable &t, const CsvRecord &r, qint64 bytes, qint64 bound)
    {
        kept += bytes;
        if (kept > bound)
            fail(vb::ErrOutOfMemory, t.fileName(), r.line, 0, {},
                 QStringLiteral("the stops, routes and trips need more than %1 MB of memory; the import holds at most that").arg(bound >> 20));
    }
};

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
            lastTripIndex = opendata::find(m.tripIds, id);
            if (lastTripIndex < 0)
                t.failAt(r, trip, QStringLiteral("the trip %1 is not in trips.txt").arg(CsvTable::text(r, trip)));
            lastTrip.assign(id);
        }
        x.trip = lastTripIndex;
        x.stop = opendata::find(m.stopIds, sv(r, stop));
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

// ---- fares ----------------------------------------------------------------

constexpr int kNoFare = -1;
// More different fares for one ride than any fare table has: a feed that
// gives them is refused, not compared at every pair of stops.
constexpr int kMaxPricesPerRide = 256;
constexpr int kMaxContains = 1000; // zones one fare of fare_rules.txt may pass through
constexpr qint64 kMaxFareWork = 50'000'000; // rides times fares the leg rules may cover

// Fares from each stop of the pattern to each stop at or after it.
struct FareMatrix {
    int n = 0;
    std::vector<int> f; // kNoFare where the feed gives none
    // Rides the feed prices more than one way (a loop passes a stop twice
    // and the feed prices each visit): every price, the lowest first.
    std::map<size_t, std::vector<int>> choices;
    int &at(int from, int to) { return f[size_t(from) * size_t(n) + size_t(to)]; }
    int at(int from, int to) const { return f[size_t(from) * size_t(n) + size_t(to)]; }
    void set(int from, int to, std::vector<int> prices)
    {
        std::sort(prices.begin(), prices.end());
        prices.erase(std::unique(prices.begin(), prices.end()), prices.end());
        at(from, to) = prices.empty() ? kNoFare : prices.front();
        if (prices.size() > 1)
            choices[size_t(from) * size_t(n) + size_t(to)] = std::move(prices);
    }
};

// Where the feed gives a ride more than one price, the one that fits the
// ride's order: along the ride from each stop, the lowest price not below
// the fare at the stop before, so a rider's fare never falls where the
// feed offers one that does not; where every price falls, the highest.
// Answers how many fares still fall.
int chooseInOrder(FareMatrix &fm)
{
    int falls = 0;
    for (int b = 0; b < fm.n; ++b) {
        int prev = kNoFare;
        for (int a = b + 1; a < fm.n; ++a) {
            const auto it = fm.choices.find(size_t(b) * size_t(fm.n) + size_t(a));
            if (it != fm.choices.end()) {
                const std::vector<int> &p = it->second;
                const auto fit = std::lower_bound(p.begin(), p.end(), prev);
                fm.at(b, a) = fit != p.end() ? *fit : p.back();
            }
            const int v = fm.at(b, a);
            if (v == kNoFare)
                continue;
            if (prev != kNoFare && v < prev)
                ++falls;
            prev = v;
        }
    }
    return falls;
}

// The zones of the pattern's stops (a platform without one takes its
// station's), as indexes into zoneIds; -1 for a stop without a zone.
std::vector<int> patternZones(const Model &m, const Pattern &p, Ids &zoneIds)
{
    std::vector<int> zoneOf;
    for (int s : p.stops) {
        QString z = m.stops[size_t(s)].zone;
        if (z.isEmpty() && m.stops[size_t(s)].parent >= 0)
            z = m.stops[size_t(m.stops[size_t(s)].parent)].zone;
        if (z.isEmpty()) {
            zoneOf.push_back(-1);
            continue;
        }
        zoneOf.push_back(zoneIds.emplace(z.toStdString(), int(zoneIds.size())).first->second);
    }
    return zoneOf;
}

// fare_attributes.txt + fare_rules.txt, by zone.
QString faresByZone(const Feed &feed, const Model &m, const Pattern &p, FareMatrix &fm)
{
    const std::string routeId = m.routes[size_t(p.route)].id.toStdString();
    Ids zoneIds;
    const std::vector<int> zoneOf = patternZones(m, p, zoneIds);
    const auto zone = [&](std::string_view id) -> int { // -1 empty (any), -2 a zone the pattern never meets
        if (id.empty())
            return -1;
        const int z = find(zoneIds, id);
        return z < 0 ? -2 : z;
    };

    Ids fareIds;
    std::vector<int16_t> prices;
    int cFare = -1, cPrice = -1;
    readTable(
        feed, kFareAttributes,
        [&](const CsvTable &t, const CsvRecord &r) {
            const int16_t price = parsePrice(t, r, cPrice);
            if (!fareIds.emplace(std::string(sv(r, cFare)), int(prices.size())).second)
                t.failAt(r, cFare, QStringLiteral("the fare id %1 is given twice").arg(CsvTable::text(r, cFare)));
            prices.push_back(price);
        },
        [&](const CsvTable &t) {
            cFare = t.required("fare_id");
            cPrice = t.required("price");
        });

    // A rule that names this route wins over one for every route; where
    // several fares apply, chooseInOrder takes one. Rules are kept by the
    // price they give, once each: a feed that repeats a rule a million
    // times costs one entry, and one that gives a ride more prices than any
    // fare table has is refused rather than compared at every stop pair.
    struct Rule {
        int16_t price;
        bool routed;
        QSet<int> contains; // empty: a plain origin/destination rule
        bool operator==(const Rule &o) const { return price == o.price && routed == o.routed && contains == o.contains; }
    };
    using Key = std::tuple<int, bool, int, int>; // fare, routed, origin, destination
    std::map<Key, QSet<int>> containsSets;
    std::set<Key> deadContains; // names a zone the pattern never meets: it cannot apply
    QHash<std::pair<int, int>, std::vector<Rule>> byPair;
    const auto add = [&byPair](std::pair<int, int> pair, Rule rule) -> bool {
        std::vector<Rule> &rules = byPair[pair];
        if (std::find(rules.begin(), rules.end(), rule) != rules.end())
            return true;
        if (rules.size() >= size_t(kMaxPricesPerRide))
            return false;
        rules.push_back(std::move(rule));
        return true;
    };
    const auto tooMany = [](const CsvTable &t, const CsvRecord &r, int column) {
        t.failAt(r, column,
                 QStringLiteral("more than %1 different fares for one pair of zones").arg(kMaxPricesPerRide),
                 vb::ErrOutOfMemory);
    };
    int cRoute = -1, cOrigin = -1, cDest = -1, cContains = -1;
    cFare = -1;
    readTable(
        feed, kFareRules,
        [&](const CsvTable &t, const CsvRecord &r) {
            const int fare = find(fareIds, sv(r, cFare));
            if (fare < 0)
                t.failAt(r, cFare, QStringLiteral("the fare %1 is not in fare_attributes.txt").arg(CsvTable::text(r, cFare)));
            const std::string_view route = sv(r, cRoute);
            const bool routed = !route.empty();
            if (routed && route != routeId)
                return;
            const int o = zone(sv(r, cOrigin)), d = zone(sv(r, cDest)), c = zone(sv(r, cContains));
            if (o == -2 || d == -2)
                return;
            if (c == -1) {
                if (!add({o, d}, {prices[size_t(fare)], routed, {}}))
                    tooMany(t, r, cFare);
            } else if (c == -2) {
                deadContains.insert({fare, routed, o, d});
            } else {
                QSet<int> &zones = containsSets[{fare, routed, o, d}];
                zones.insert(c);
                if (zones.size() > kMaxContains)
                    t.failAt(r, cContains, QStringLiteral("a fare contains more than %1 zones").arg(kMaxContains),
                             vb::ErrOutOfMemory);
            }
        },
        [&](const CsvTable &t) {
            cFare = t.required("fare_id");
            cRoute = t.column("route_id");
            cOrigin = t.column("origin_id");
            cDest = t.column("destination_id");
            cContains = t.column("contains_id");
        });
    for (const auto &[k, zones] : containsSets)
        if (!deadContains.count(k)
            && !add({std::get<2>(k), std::get<3>(k)}, {prices[size_t(std::get<0>(k))], std::get<1>(k), zones}))
            fail(vb::ErrOutOfMemory, kFareRules, 0, 0, {},
                 QStringLiteral("more than %1 different fares for one pair of zones").arg(kMaxPricesPerRide));

    const int n = int(p.stops.size());
    for (int b = 0; b < n; ++b) {
        QSet<int> passed;
        for (int a = b; a < n; ++a) {
            if (zoneOf[size_t(a)] >= 0)
                passed.insert(zoneOf[size_t(a)]);
            const int zo = zoneOf[size_t(b)], zd = zoneOf[size_t(a)];
            std::vector<int> found[2]; // for every route, for this route
            std::vector<int> origins{-1}, dests{-1};
            if (zo >= 0)
                origins.push_back(zo);
            if (zd >= 0)
                dests.push_back(zd);
            for (int o : origins)
                for (int d : dests) {
                    const auto it = byPair.constFind({o, d});
                    if (it == byPair.cend())
                        continue;
                    for (const Rule &r : *it) {
                        if (!r.contains.isEmpty() && r.contains != passed)
                            continue;
                        found[r.routed ? 1 : 0].push_back(r.price);
                    }
                }
            fm.set(b, a, std::move(found[found[1].empty() ? 0 : 1]));
        }
    }
    return QStringLiteral("fare_attributes.txt price (the adult fare paid in cash), by the zones of fare_rules.txt");
}

// Fares v2: fare_leg_rules.txt from area to area, priced by fare_products.txt.
QString faresByArea(const Feed &feed, const Model &m, const Pattern &p, FareMatrix &fm)
{
    const Route &route = m.routes[size_t(p.route)];
    // Networks the route belongs to.
    QSet<QString> networks;
    if (!route.networkId.isEmpty())
        networks.insert(route.networkId);
    if (feed.has(kRouteNetworks)) {
        int cNet = -1, cRoute = -1;
        readTable(
            feed, kRouteNetworks,
            [&](const CsvTable &, const CsvRecord &r) {
                if (CsvTable::text(r, cRoute) == route.id)
                    networks.insert(CsvTable::text(r, cNet));
            },
            [&](const CsvTable &t) {
                cNet = t.required("network_id");
                cRoute = t.required("route_id");
            });
    }
    // Areas of the pattern's stops; a station's area holds its platforms.
    QHash<QString, QSet<int>> areaStops; // area -> pattern positions
    if (feed.has(kStopAreas)) {
        QHash<QString, QList<int>> positions; // stop id -> pattern positions, by itself and its station
        for (int i = 0; i < int(p.stops.size()); ++i) {
            const Stop &s = m.stops[size_t(p.stops[size_t(i)])];
            positions[s.id].append(i);
            if (s.parent >= 0)
                positions[m.stops[size_t(s.parent)].id].append(i);
        }
        int cArea = -1, cStop = -1;
        readTable(
            feed, kStopAreas,
            [&](const CsvTable &, const CsvRecord &r) {
                const auto it = positions.constFind(CsvTable::text(r, cStop));
                if (it != positions.cend())
                    for (int i : *it)
                        areaStops[CsvTable::text(r, cArea)].insert(i);
            },
            [&](const CsvTable &t) {
                cArea = t.required("area_id");
                cStop = t.required("stop_id");
            });
    }
    // One price a product: the row for no particular rider category or
    // fare media (the adult fare paid as such), else the first row.
    struct Price {
        int16_t amount;
        bool plain;
    };
    QHash<QString, Price> products;
    int cProduct = -1, cAmount = -1, cRider, cMedia;
    readTable(
        feed, kFareProducts,
        [&](const CsvTable &t, const CsvRecord &r) {
            const QString id = CsvTable::text(r, cProduct);
            const int16_t amount = parsePrice(t, r, cAmount);
            const bool plain = CsvTable::text(r, cRider).isEmpty() && CsvTable::text(r, cMedia).isEmpty();
            const auto it = products.constFind(id);
            if (it == products.cend() || (plain && !it->plain))
                products.insert(id, {amount, plain});
        },
        [&](const CsvTable &t) {
            cProduct = t.required("fare_product_id");
            cAmount = t.required("amount");
            cRider = t.column("rider_category_id");
            cMedia = t.column("fare_media_id");
        });

    // Areas by number, so that a rule costs no string at every pair of stops.
    QHash<QString, int> areaIndex;
    std::vector<std::vector<int>> areaPositions; // area -> pattern positions, in order
    for (auto it = areaStops.cbegin(); it != areaStops.cend(); ++it) {
        areaIndex.insert(it.key(), int(areaPositions.size()));
        std::vector<int> pos(it.value().cbegin(), it.value().cend());
        std::sort(pos.begin(), pos.end());
        areaPositions.push_back(std::move(pos));
    }
    // The rules by their pair of areas (-1: any): the highest priority
    // there and the amounts at it, each once.
    struct Group {
        int priority = INT32_MIN;
        std::vector<int16_t> amounts;
    };
    std::map<std::pair<int, int>, Group> groups;
    int cNetwork, cFrom, cTo, cPriority;
    cProduct = -1;
    readTable(
        feed, kFareLegRules,
        [&](const CsvTable &t, const CsvRecord &r) {
            const QString product = CsvTable::text(r, cProduct);
            const auto it = products.constFind(product);
            if (it == products.cend())
                t.failAt(r, cProduct, QStringLiteral("the fare product %1 is not in fare_products.txt").arg(product));
            const QString network = CsvTable::text(r, cNetwork);
            if (!network.isEmpty() && !networks.contains(network))
                return;
            const QString from = CsvTable::text(r, cFrom), to = CsvTable::text(r, cTo);
            const int f = from.isEmpty() ? -1 : areaIndex.value(from, -2), d = to.isEmpty() ? -1 : areaIndex.value(to, -2);
            if (f == -2 || d == -2)
                return;
            int priority = 0;
            if (cPriority >= 0 && !CsvTable::text(r, cPriority).isEmpty()) {
                const std::optional<qint64> v = parseInt(sv(r, cPriority));
                if (!v || *v < INT32_MIN || *v > INT32_MAX)
                    t.failAt(r, cPriority, QStringLiteral("the rule_priority is not a whole number"), vb::ErrTypeMismatch);
                priority = int(*v);
            }
            Group &g = groups[{f, d}];
            if (priority > g.priority)
                g = Group{priority, {}};
            if (priority == g.priority && std::find(g.amounts.begin(), g.amounts.end(), it->amount) == g.amounts.end()) {
                if (g.amounts.size() >= size_t(kMaxPricesPerRide))
                    t.failAt(r, cProduct, QStringLiteral("more than %1 different fares for one pair of areas").arg(kMaxPricesPerRide),
                             vb::ErrOutOfMemory);
                g.amounts.push_back(it->amount);
            }
        },
        [&](const CsvTable &t) {
            cProduct = t.required("fare_product_id");
            cNetwork = t.column("network_id");
            cFrom = t.column("from_area_id");
            cTo = t.column("to_area_id");
            cPriority = t.column("rule_priority");
        });

    // Each group onto the rides it covers: the highest priority over all the
    // groups that cover a ride wins. The work is counted first, so that
    // rules covering every ride many times over are refused, not ground through.
    const int n = int(p.stops.size());
    std::vector<int> all;
    for (int i = 0; i < n; ++i)
        all.push_back(i);
    const auto positionsOf = [&](int area) -> const std::vector<int> & { return area < 0 ? all : areaPositions[size_t(area)]; };
    qint64 work = 0;
    for (const auto &[key, g] : groups)
        work += qint64(positionsOf(key.first).size()) * qint64(positionsOf(key.second).size()) * qint64(g.amounts.size());
    if (work > kMaxFareWork)
        fail(vb::ErrOutOfMemory, kFareLegRules, 0, 0, {},
             QStringLiteral("the rules cover the pattern's rides more than %1 times over").arg(kMaxFareWork));
    std::vector<int> best(size_t(n) * size_t(n), INT32_MIN);
    std::vector<std::vector<int>> found(size_t(n) * size_t(n));
    for (const auto &[key, g] : groups)
        for (int from : positionsOf(key.first))
            for (int to : positionsOf(key.second)) {
                if (to < from)
                    continue;
                const size_t cell = size_t(from) * size_t(n) + size_t(to);
                // The rules of the highest priority apply; chooseInOrder takes one of them.
                if (g.priority > best[cell])
                    best[cell] = g.priority, found[cell].clear();
                if (g.priority == best[cell])
                    found[cell].insert(found[cell].end(), g.amounts.begin(), g.amounts.end());
            }
    for (int b = 0; b < n; ++b)
        for (int a = b; a < n; ++a)
            fm.set(b, a, std::move(found[size_t(b) * size_t(n) + size_t(a)]));
    return QStringLiteral("fare_products.txt amount (the row without rider category or fare media where there is one), "
                          "by the areas of fare_leg_rules.txt");
}

// ---- readings ---------------------------------------------------------------

bool isKanaReading(const QString &lang) { return lang.compare(QLatin1String("ja-Hrkt"), Qt::CaseInsensitive) == 0; }

// Readings of stop names, by stop id and by name: the older GTFS-JP layout
// (trans_id, lang, translation: the Japanese text itself is the key) and
// today's (table_name, field_name, language, translation, record_id, field_value).
struct Readings {
    QHash<QString, QString> byId, byName;
};

Readings readReadings(const Feed &feed)
{
    Readings out;
    if (!feed.has(kTranslations))
        return out;
    bool old = false;
    int cTrans = -1, cLang = -1, cText = -1, cTable = -1, cField = -1, cRecord = -1, cValue = -1;
    readTable(
        feed, kTranslations,
        [&](const CsvTable &, const CsvRecord &r) {
            if (!isKanaReading(CsvTable::text(r, cLang)))
                return;
            const QString reading = CsvTable::text(r, cText);
            if (reading.isEmpty())
                return;
            if (old) {
                out.byName.insert(CsvTable::text(r, cTrans), reading);
                return;
            }
            if (CsvTable::text(r, cTable) != QLatin1String("stops") || CsvTable::text(r, cField) != QLatin1String("stop_name"))
                return;
            const QString id = CsvTable::text(r, cRecord), value = CsvTable::text(r, cValue);
            if (!id.isEmpty())
                out.byId.insert(id, reading);
            else if (!value.isEmpty())
                out.byName.insert(value, reading);
        },
        [&](const CsvTable &t) {
            old = t.has("trans_id");
            if (old) {
                cTrans = t.required("trans_id");
                cLang = t.required("lang");
                cText = t.required("translation");
                return;
            }
            cTable = t.required("table_name");
            cField = t.required("field_name");
            cLang = t.required("language");
            cText = t.required("translation");
            cRecord = t.column("record_id");
            cValue = t.column("field_value");
        });
    return out;
}

QString readingOf(const Readings &rd, const Model &m, int stop)
{
    const Stop &s = m.stops[size_t(stop)];
    const Stop *parent = s.parent >= 0 ? &m.stops[size_t(s.parent)] : nullptr;
    for (const QString &id : {s.id, parent ? parent->id : QString()})
        if (!id.isEmpty() && rd.byId.contains(id))
            return rd.byId.value(id);
    return rd.byName.value(stopName(m, stop));
}

// ---- ticket numbers -----------------------------------------------------------

// Boarding stops that share a ticket number, as few as the board's cells
// need. A rider boarding at any stop of a group must pay, at every later
// stop, what one boarding at its first stop pays: the board shows only
// the first stop's fare. A part of such a group may share as well, so the
// longest groups from the start are the fewest; then the largest are
// split, the later first, until the numbers fill the cells.
std::vector<std::pair<int, int>> ticketGroups(const FareMatrix &fm, const std::vector<int> &boarding)
{
    const int k = int(boarding.size());
    std::vector<std::pair<int, int>> groups;
    if (k <= kTickets) {
        for (int i = 0; i < k; ++i)
            groups.push_back({i, i});
        return groups;
    }
    const auto same = [&](int first, int x) {
        const int from = boarding[size_t(first)], at = boarding[size_t(x)];
        for (int t = at + 1; t < fm.n; ++t)
            if (fm.at(at, t) != fm.at(from, t))
                return false;
        return true;
    };
    for (int first = 0; first < k;) {
        int last = first;
        while (last + 1 < k && same(first, last + 1))
            ++last;
        groups.push_back({first, last});
        first = last + 1;
    }
    while (int(groups.size()) < kTickets) {
        size_t big = 0;
        for (size_t g = 0; g < groups.size(); ++g)
            if (groups[g].second - groups[g].first >= groups[big].second - groups[big].first)
                big = g;
        const auto [first, last] = groups[big];
        const int mid = first + (last - first) / 2;
        groups[big] = {first, mid};
        groups.insert(groups.begin() + qsizetype(big) + 1, {mid + 1, last});
    }
    return groups;
}

// ---- output -------------------------------------------------------------------------

QByteArray csvField(const QString &text)
{
    QByteArray b = text.toUtf8();
    if (b.contains(',') || b.contains('"') || b.contains('\n') || b.contains('\r'))
        return '"' + b.replace("\"", "\"\"") + '"';
    return b;
}

QString clock(int seconds)
{
    if (seconds < 0)
        return {};
    return QStringLiteral("%1:%2:%3").arg(seconds / 3600, 2, 10, QChar(u'0')).arg(seconds / 60 % 60, 2, 10, QChar(u'0')).arg(seconds % 60, 2, 10, QChar(u'0'));
}

QString tapeText(const QString &text)
{
    // The list's reader takes a quoted text with commas; a quote inside it
    // would end the field, so it is written full-width.
    QString t = text;
    t.replace(u'"', u'”');
    return QStringLiteral("\"%1\"").arg(t);
}

// The reader's own warnings (the stops' times) in Japanese.
QString japaneseWarning(const QString &w)
{
    static const QRegularExpression times(QStringLiteral("^(.+): (\\d+) times are not H:MM or H:MM:SS and are left out$"));
    if (const QRegularExpressionMatch m = times.match(w); m.hasMatch())
        return QStringLiteral("%1: 時刻として読めない%2か所を除きました").arg(m.captured(1), m.captured(2));
    return w;
}

void noteDecoding(const DecodeLog &log, QStringList &warnings, QStringList &notes)
{
    for (const QString &f : log.cp932Files) {
        warnings << QStringLiteral("%1: not UTF-8; read as Shift_JIS (code page 932)").arg(f);
        notes << QStringLiteral("%1: UTF-8ではないため、Shift_JIS（コードページ932）として読みました").arg(f);
    }
}

// How the announcements call the vehicle, by route_type (the basic types
// and the extended ones).
struct Vehicle {
    QString the, thanks, thanked;
};
Vehicle vehicleOf(int type)
{
    const auto in = [type](int from, int to) { return type >= from && type <= to; };
    const QString ride = QStringLiteral("ご乗車ありがとうございます。"), rode = QStringLiteral("ご乗車ありがとうございました。");
    if (type == 4 || in(1000, 1299))
        return {QStringLiteral("この船は"), QStringLiteral("ご乗船ありがとうございます。"), QStringLiteral("ご乗船ありがとうございました。")};
    if (type == 2 || in(100, 199))
        return {QStringLiteral("この列車は"), ride, rode};
    if (type == 0 || type == 1 || type == 5 || type == 12 || in(400, 499) || in(900, 999))
        return {QStringLiteral("この電車は"), ride, rode};
    if (type == 6 || in(1300, 1399))
        return {QStringLiteral("このロープウェイは"), ride, rode};
    if (type == 7 || in(1400, 1499))
        return {QStringLiteral("このケーブルカーは"), ride, rode};
    return {QStringLiteral("このバスは"), ride, rode};
}

// "…行きです" said of a headsign, which often ends in 行 or 行き itself;
// a loop says its name alone.
QString boundFor(const QString &headsign)
{
    const QString h = headsign.trimmed();
    for (const char16_t *end : {u"行き", u"ゆき", u"循環", u"回り", u"まわり"})
        if (h.endsWith(QStringView(end)))
            return h;
    if (h.endsWith(u'行'))
        return h + u'き';
    return h + QStringLiteral("行き");
}

} // namespace

QString spokenName(const QString &name)
{
    QString out;
    const QString mapped = cp932::premap(name);
    for (qsizetype i = 0; i < mapped.size(); ++i) {
        const bool pair = mapped[i].isHighSurrogate() && i + 1 < mapped.size();
        const QString ch = mapped.mid(i, pair ? 2 : 1);
        if (pair)
            ++i;
        const QByteArray enc = cp932::encode(ch);
        out += (enc == "?" && ch != u"?") || ch.front().category() == QChar::Other_Control ? QStringLiteral("〓") : ch;
    }
    return out.trimmed();
}

QString boardName(const QString &name, QString *warning)
{
    return boardName(name, warning, nullptr);
}

QString boardName(const QString &name, QString *warning, QString *japanese)
{
    const QString spoken = spokenName(name);
    const QByteArray enc = cp932::encode(spoken);
    QString out = spoken;
    QStringList why, whyJa;
    if (spoken != name.trimmed() && spoken != cp932::premap(name.trimmed())) {
        why << QStringLiteral("characters code page 932 lacks became 〓");
        whyJa << QStringLiteral("コードページ932にない文字を〓にしました");
    }
    if (enc.size() > kMaxNameBytes) {
        out = cp932::decode(QByteArrayView(enc).first(cp932::boundaryAtMost(enc, kMaxNameBytes)));
        why << QStringLiteral("cut to the %1 bytes the strip takes").arg(kMaxNameBytes);
        whyJa << QStringLiteral("表示器に入る%1バイトまでに切りました").arg(kMaxNameBytes);
    }
    if (warning)
        *warning = why.isEmpty() ? QString() : QStringLiteral("\"%1\" → \"%2\": %3").arg(name, out, why.join(QStringLiteral("; ")));
    if (japanese)
        *japanese = whyJa.isEmpty() ? QString() : QStringLiteral("「%1」→「%2」: %3").arg(name, out, whyJa.join(u'、'));
    return out;
}

QByteArray stopsHeader() { return "seq,stop_id,name,lat,lon,arrival,departure\r\n"; }

Listing listPatterns(const Feed &feed)
{
    DecodeLog log;
    Model m = loadModel(feed);
    Listing out{infos(m), m.warnings, {}};
    for (const QString &w : m.warnings)
        out.notes << japaneseWarning(w);
    noteDecoding(log, out.warnings, out.notes);
    return out;
}

Import importPattern(const Feed &feed, const Choice &choice)
{
    DecodeLog log;
    Model m = loadModel(feed);
    const QList<PatternInfo> all = infos(m);
    int chosen = -1;
    int tripIndex = -1;
    if (!choice.tripId.isEmpty()) {
        tripIndex = find(m.tripIds, choice.tripId.toStdString());
        if (tripIndex < 0)
            throw vb::Error(vb::ErrSubscript, QStringLiteral("the trip %1 is not in trips.txt").arg(choice.tripId));
        for (size_t i = 0; i < m.patterns.size() && chosen < 0; ++i)
            for (int t : m.patterns[i].trips)
                if (t == tripIndex)
                    chosen = int(i);
        if (chosen < 0)
            throw vb::Error(vb::ErrSubscript, QStringLiteral("the trip %1 has no stops in stop_times.txt").arg(choice.tripId));
        if (!choice.routeId.isEmpty() && all[chosen].routeId != choice.routeId)
            throw vb::Error(vb::ErrSubscript, QStringLiteral("the trip %1 runs on the route %2, not %3").arg(choice.tripId, all[chosen].routeId, choice.routeId));
    } else {
        if (find(m.routeIds, choice.routeId.toStdString()) < 0)
            throw vb::Error(vb::ErrSubscript, QStringLiteral("the route %1 is not in routes.txt").arg(choice.routeId));
        // The most trips first, over the directions too unless one is named.
        std::vector<int> candidates;
        for (int i = 0; i < all.size(); ++i)
            if (all[i].routeId == choice.routeId && (choice.directionId.isEmpty() || all[i].directionId == choice.directionId))
                candidates.push_back(i);
        std::stable_sort(candidates.begin(), candidates.end(), [&](int a, int b) { return all[a].trips > all[b].trips; });
        if (!choice.directionId.isEmpty())
            std::stable_sort(candidates.begin(), candidates.end(), [&](int a, int b) { return all[a].rank < all[b].rank; });
        if (choice.rank < 0 || size_t(choice.rank) >= candidates.size())
            throw vb::Error(vb::ErrSubscript, candidates.empty()
                                                  ? QStringLiteral("the route %1 has no trips%2").arg(choice.routeId, choice.directionId.isEmpty() ? QString() : QStringLiteral(" in direction %1").arg(choice.directionId))
                                                  : QStringLiteral("the route %1 has %2 stop patterns").arg(choice.routeId).arg(candidates.size()));
        chosen = candidates[size_t(choice.rank)];
        tripIndex = m.patterns[size_t(chosen)].trips.front();
    }
    const Pattern &p = m.patterns[size_t(chosen)];
    Import out;
    out.pattern = all[chosen];
    out.tripId = m.trips[size_t(tripIndex)].id;
    out.warnings = m.warnings;
    for (const QString &w : m.warnings)
        out.notes << japaneseWarning(w);
    const int n = int(p.stops.size());
    if (n < 2 || n > fare::kRows)
        throw vb::Error(vb::ErrOverflow, QStringLiteral("the pattern has %1 stops; the board rides 2 to %2").arg(n).arg(fare::kRows));

    // The chosen trip's rows, in stop order: read again, as the listing keeps no times.
    const std::vector<StopTime> times = tripTimes(feed, m, tripIndex);
    std::vector<const StopTime *> rows;
    for (const StopTime &st : times)
        rows.push_back(&st);
    if (rows.size() != p.stops.size()
        || !std::equal(rows.begin(), rows.end(), p.stops.begin(), [](const StopTime *st, int stop) { return st->stop == stop; }))
        fail(vb::ErrPathFileAccess, kStopTimes, 0, 0, {}, QStringLiteral("the file changed while it was read"));

    FareMatrix fm;
    fm.n = n;
    fm.f.assign(size_t(n) * size_t(n), kNoFare);
    QString rulesFile;
    try {
        if (feed.has(kFareLegRules) && feed.has(kFareProducts)) {
            out.fareSource = faresByArea(feed, m, p, fm);
            out.notes << QStringLiteral("運賃: fare_leg_rules.txt のエリア間ごとに fare_products.txt の amount"
                                        "（利用者区分・支払手段のない行があればその行）");
            rulesFile = kFareLegRules;
        } else if (feed.has(kFareAttributes) && feed.has(kFareRules)) {
            out.fareSource = faresByZone(feed, m, p, fm);
            out.notes << QStringLiteral("運賃: fare_rules.txt のゾーンごとに fare_attributes.txt の price（現金で払う大人運賃）");
            rulesFile = kFareRules;
        } else {
            out.fareSource = QStringLiteral("none: the feed has no fare_attributes.txt + fare_rules.txt nor fare_leg_rules.txt + fare_products.txt");
            out.notes << QStringLiteral("運賃: フィードに fare_attributes.txt と fare_rules.txt も、fare_leg_rules.txt と fare_products.txt もないため、運賃は空欄です");
        }
    } catch (const FeedError &e) {
        // A fare file whose header the import cannot use (a feed's own typo
        // in a column name) leaves the fares blank rather than the route
        // unimported; any other fault of the fares still refuses it.
        if (e.number() != vb::ErrInputPastEnd || e.line > 1)
            throw;
        fm.f.assign(size_t(n) * size_t(n), kNoFare);
        fm.choices.clear();
        rulesFile.clear();
        out.fareSource = QStringLiteral("none: %1").arg(e.description());
        out.warnings << QStringLiteral("%1; the fares are left blank").arg(e.description());
        out.notes << QStringLiteral("運賃: %1 の見出しの行が読めないため（%2）、運賃は空欄です").arg(e.file, e.message);
    }
    // Rides priced more than one way: said with a few of them.
    const int falls = chooseInOrder(fm);
    if (!fm.choices.empty()) {
        QStringList examples;
        for (const auto &[at, prices] : fm.choices) {
            if (examples.size() == 3)
                break;
            const int from = int(at / size_t(n)), to = int(at % size_t(n));
            QStringList yen;
            for (int v : prices)
                yen << QString::number(v);
            examples << QStringLiteral("%1 (%2) → %3 (%4): %5 → %6")
                            .arg(stopName(m, p.stops[size_t(from)])).arg(from + 1)
                            .arg(stopName(m, p.stops[size_t(to)])).arg(to + 1)
                            .arg(yen.join(u'/')).arg(fm.at(from, to));
        }
        out.warnings << QStringLiteral("%1 gives %2 rides more than one price (a stop passed twice, say); each fare is the one "
                                       "that keeps a rider's fare from falling along the ride, e.g. %3")
                            .arg(rulesFile).arg(fm.choices.size()).arg(examples.join(QStringLiteral("; ")));
        out.notes << QStringLiteral("%1 は%2区間に複数の運賃を定めています（同じ停留所を二度通る系統など）。"
                                    "乗車順に運賃が下がらないものを選びました。例: %3")
                         .arg(rulesFile).arg(fm.choices.size()).arg(examples.join(QStringLiteral("、")));
    }
    if (falls) {
        out.warnings << QStringLiteral("%1 fares fall along a ride, as the feed gives them").arg(falls);
        out.notes << QStringLiteral("乗車中に運賃が下がる区間が%1あります（フィードのとおり）").arg(falls);
    }

    // Boarding stops: every stop but the last, and none where the trip takes no one on.
    std::vector<int> boarding;
    for (int i = 0; i + 1 < n; ++i)
        if (rows[size_t(i)]->pickup != 1)
            boarding.push_back(i);
    const auto groups = ticketGroups(fm, boarding);
    if (int(groups.size()) > kTickets)
        throw vb::Error(vb::ErrOverflow,
                        QStringLiteral("the pattern has %1 boarding stops and needs %2 ticket numbers even where stops with "
                                       "the same fares to every later stop share one; the board has %3")
                            .arg(boarding.size()).arg(groups.size()).arg(kTickets));
    out.ticketCount = int(groups.size());
    if (groups.size() < boarding.size()) {
        out.warnings << QStringLiteral("%1 boarding stops share %2 ticket numbers: only stops whose riders pay the same at every later stop")
                            .arg(boarding.size()).arg(groups.size());
        out.notes << QStringLiteral("乗車停留所%1か所に整理券番号%2: 以後のどの停留所でも運賃が同じ停留所だけが番号を共有します")
                         .arg(boarding.size()).arg(groups.size());
    }
    std::vector<int> ticketAt(size_t(n), 0);      // ticket number issued at or last before each stop
    std::vector<int> issuedFrom(size_t(groups.size()) + 1, 0); // first stop of each ticket number
    for (size_t g = 0; g < groups.size(); ++g) {
        issuedFrom[g + 1] = boarding[size_t(groups[g].first)];
        for (int b = groups[g].first; b <= groups[g].second; ++b)
            ticketAt[size_t(boarding[size_t(b)])] = int(g) + 1;
    }
    for (int i = 1; i < n; ++i)
        if (ticketAt[size_t(i)] == 0)
            ticketAt[size_t(i)] = ticketAt[size_t(i) - 1];

    // The pattern's other trips beside the chosen one, by the time they
    // leave, so the ride can follow any of them; a stops file of a few
    // hundred kilobytes at most.
    constexpr size_t kMaxTrips = 200;
    std::vector<int> dayTrips = p.trips;
    if (dayTrips.size() > kMaxTrips) {
        out.warnings << QStringLiteral("the pattern has %1 trips; the stops file keeps the times of the first %2").arg(dayTrips.size()).arg(kMaxTrips);
        out.notes << QStringLiteral("この系統の便は%1便あります。停留所ファイルには最初の%2便の時刻を書きます").arg(dayTrips.size()).arg(kMaxTrips);
        dayTrips.resize(kMaxTrips);
    }
    std::vector<std::vector<StopTime>> dayTimes = tripsTimes(feed, m, dayTrips);
    std::vector<size_t> byDeparture;
    for (size_t k = 0; k < dayTimes.size(); ++k)
        if (dayTimes[k].size() == p.stops.size()) // a trip the file changed under is left out
            byDeparture.push_back(k);
    const auto leaves = [&](size_t k) {
        for (const StopTime &st : dayTimes[k])
            if (st.departure >= 0 || st.arrival >= 0)
                return st.departure >= 0 ? st.departure : st.arrival;
        return INT_MAX;
    };
    std::stable_sort(byDeparture.begin(), byDeparture.end(), [&](size_t a, size_t b) { return leaves(a) < leaves(b); });

    Readings rd = readReadings(feed);
    QByteArray readings, stops = stopsHeader();
    stops.chop(2);
    for (size_t k : byDeparture) {
        const QString &id = m.trips[size_t(dayTrips[k])].id;
        stops += ',' + csvField(QStringLiteral("arrival:") + id) + ',' + csvField(QStringLiteral("departure:") + id);
    }
    stops += "\r\n";
    QString tape;
    const auto line = [&](const QString &text, int step, int sound) {
        tape += tapeText(text) + QStringLiteral(",%1,%2\r\n").arg(step).arg(sound);
    };
    QSet<QString> spokenNames;
    int free = 0; // cells of 0 yen: blank on the board like a fare not given
    for (int i = 0; i < n; ++i) {
        const int stop = p.stops[size_t(i)];
        const QString name = stopName(m, stop);
        QString warning, warningJa;
        fare::FareRecord rec;
        rec.StopName = boardName(name, &warning, &warningJa);
        if (!warning.isEmpty())
            out.warnings << warning, out.notes << warningJa;
        rec.SeiriNo = int16_t(ticketAt[size_t(i)]);
        // Column c: the fare from where ticket c was issued to here; blank
        // (0) where the feed gives none.
        for (int c = 1; c <= ticketAt[size_t(i)]; ++c) {
            const int v = fm.at(issuedFrom[size_t(c)], i);
            if (v == kNoFare && issuedFrom[size_t(c)] < i)
                ++out.faresUndefined;
            if (v == 0 && issuedFrom[size_t(c)] < i)
                ++free;
            rec.Fare[size_t(c) - 1] = int16_t(v == kNoFare ? 0 : v);
        }
        out.records.append(rec);

        const QString spoken = spokenName(name);
        const QString kana = readingOf(rd, m, stop);
        if (!kana.isEmpty() && !spokenNames.contains(spoken)) {
            spokenNames.insert(spoken);
            readings += cp932::encode(QString::fromUtf8(csvField(spoken)) + u',' + QString::fromUtf8(csvField(spokenName(kana)))) + "\r\n";
            ++out.readingCount;
        }
        const Stop &s = m.stops[size_t(stop)];
        const StopTime *st = rows[size_t(i)];
        stops += QByteArray::number(i + 1) + ',' + csvField(s.id) + ',' + csvField(name) + ',' +
                 (s.hasCoord ? QByteArray::number(s.lat, 'f', 7) + ',' + QByteArray::number(s.lon, 'f', 7) : QByteArray(",")) +
                 ',' + clock(st->arrival).toUtf8() + ',' + clock(st->departure).toUtf8();
        for (size_t k : byDeparture)
            stops += ',' + clock(dayTimes[k][size_t(i)].arrival).toUtf8() + ',' + clock(dayTimes[k][size_t(i)].departure).toUtf8();
        stops += "\r\n";
    }
    // Ride order: the first "送り" says where the bus goes; each next one
    // names the next stop and steps the fares to it; the last thanks the riders.
    if (free) {
        out.warnings << QStringLiteral("%1 fares are 0 yen (a free ride); the board shows them blank").arg(free);
        out.notes << QStringLiteral("運賃0円（無料）の区間が%1あります。表示器では空欄になります").arg(free);
    }
    // The tram, the ferry... as the route_type says.
    const Vehicle vehicle = vehicleOf(out.pattern.routeType);
    const QString last = spokenName(stopName(m, p.stops.back()));
    const QString head = spokenName(out.pattern.headsign.isEmpty() ? last : out.pattern.headsign);
    line(QStringLiteral("%1%2、%3です。").arg(vehicle.thanks, vehicle.the, boundFor(head)), 0, 3);
    for (int i = 1; i + 1 < n; ++i)
        line(QStringLiteral("次は、%1です。").arg(spokenName(stopName(m, p.stops[size_t(i)]))), 1, 1);
    line(QStringLiteral("次は、終点、%1です。").arg(last), 1, 2);
    line(QStringLiteral("終点、%1です。%2").arg(last, vehicle.thanked), 0, 0);
    noteDecoding(log, out.warnings, out.notes);
    out.tape = cp932::encode(tape);
    out.readings = readings;
    out.stops = stops;
    return out;
}

QList<OutputFile> outputFiles(const Import &im, int number, const QString &fareDir, const QString &tapeDir)
{
    const QString key = QString::number(number);
    QList<OutputFile> files{
        {QDir(fareDir).filePath(key + QStringLiteral(".hy3")), fare::writeFareFile(im.records)},
        {QDir(fareDir).filePath(key + QStringLiteral(".stops.csv")), im.stops},
        {QDir(tapeDir).filePath(key + QStringLiteral("tp.csv")), im.tape},
    };
    if (im.readingCount > 0)
        files.append({QDir(tapeDir).filePath(key + QStringLiteral("yomi.csv")), im.readings});
    return files;
}

int suggestNumber(const PatternInfo &pattern, const QList<int> &taken)
{
    QString digits;
    for (QChar c : pattern.routeName)
        if (c.isDigit())
            digits += QChar(u'0' + c.digitValue());
        else if (!digits.isEmpty())
            break;
    bool ok = false;
    const int n = digits.left(5).toInt(&ok);
    if (ok && n >= 1 && n <= 99999 && !taken.contains(n))
        return n;
    for (int k = 1; k <= 99999; ++k)
        if (!taken.contains(k))
            return k;
    return 0;
}

} // namespace opendata
