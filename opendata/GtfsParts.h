#pragma once
// What the files of the GTFS import share: the feed's tables as the import
// keeps them (the model), the fares by stop pair, the readings and the
// announcement wording. The public face is opendata/Gtfs.h; this one is the
// import's own.
#include "opendata/Csv.h"
#include "opendata/Feed.h"
#include "opendata/Gtfs.h"

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

// The cut board name with its reason in Japanese too (the import window's).
QString boardName(const QString &name, QString *warning, QString *japanese);

namespace gtfs {

inline const QString kStops = QStringLiteral("stops.txt");
inline const QString kRoutes = QStringLiteral("routes.txt");
inline const QString kTrips = QStringLiteral("trips.txt");
inline const QString kStopTimes = QStringLiteral("stop_times.txt");
inline const QString kFareAttributes = QStringLiteral("fare_attributes.txt");
inline const QString kFareRules = QStringLiteral("fare_rules.txt");
inline const QString kFareLegRules = QStringLiteral("fare_leg_rules.txt");
inline const QString kFareProducts = QStringLiteral("fare_products.txt");
inline const QString kStopAreas = QStringLiteral("stop_areas.txt");
inline const QString kRouteNetworks = QStringLiteral("route_networks.txt");
inline const QString kTranslations = QStringLiteral("translations.txt");
inline const QString kAgency = QStringLiteral("agency.txt");

// Ids looked up by their bytes, a million times for stop_times.txt: no
// string is built for a lookup.
struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};
using Ids = std::unordered_map<std::string, int, Hash, std::equal_to<>>;

inline std::string_view sv(QByteArrayView v)
{
    // Ids are compared as written, without the blanks around them.
    qsizetype b = 0, e = v.size();
    while (b < e && (v[b] == ' ' || v[b] == '\t'))
        ++b;
    while (e > b && (v[e - 1] == ' ' || v[e - 1] == '\t'))
        --e;
    return std::string_view(v.data() + b, size_t(e - b));
}
inline std::string_view sv(const CsvRecord &r, int column) { return column < 0 ? std::string_view() : sv(r.field(column)); }
inline int find(const Ids &ids, std::string_view key)
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

int parseTime(std::string_view s);
std::optional<qint64> parseInt(std::string_view s);
int16_t parsePrice(const CsvTable &t, const CsvRecord &r, int column);

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

// ---- the model (GtfsModel.cpp)
qint64 cost(const QString &s);
qint64 keyCost(const QString &id);
void readStops(const Feed &feed, Model &m);
void readRoutes(const Feed &feed, Model &m);
void readTrips(const Feed &feed, Model &m);
bool alongTrip(const Row &a, const Row &b);
void readStopTimes(const Feed &feed, Model &m);
std::vector<StopTime> tripTimes(const Feed &feed, const Model &m, int trip);
std::vector<std::vector<StopTime>> tripsTimes(const Feed &feed, const Model &m, const std::vector<int> &trips);
void buildPatterns(Model &m, int maxPatterns);
Model loadModel(const Feed &feed);
QString stopName(const Model &m, int stop);
QString routeName(const Route &r, const QString &headsign, const QString &first, const QString &last);
PatternInfo infoOf(const Model &m, const Pattern &p, int rank);
QList<PatternInfo> infos(const Model &m);

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

// ---- fares and ticket numbers (GtfsFares.cpp)
int chooseInOrder(FareMatrix &fm);
std::vector<int> patternZones(const Model &m, const Pattern &p, Ids &zoneIds);
QString faresByZone(const Feed &feed, const Model &m, const Pattern &p, FareMatrix &fm);
QString faresByArea(const Feed &feed, const Model &m, const Pattern &p, FareMatrix &fm);
std::vector<std::pair<int, int>> ticketGroups(const FareMatrix &fm, const std::vector<int> &boarding);

// ---- readings and wording (GtfsNames.cpp)
// Readings of stop names, by stop id and by name: the older GTFS-JP layout
// (trans_id, lang, translation: the Japanese text itself is the key) and
// today's (table_name, field_name, language, translation, record_id, field_value).
struct Readings {
    QHash<QString, QString> byId, byName;
};
bool isKanaReading(const QString &lang);
Readings readReadings(const Feed &feed);
QString readingOf(const Readings &rd, const Model &m, int stop);
QString tapeText(const QString &text);
// How the announcements call the vehicle, by route_type (the basic types
// and the extended ones).
struct Vehicle {
    QString the, thanks, thanked;
};
Vehicle vehicleOf(int type);
QString boundFor(const QString &headsign);

} // namespace gtfs
} // namespace opendata
