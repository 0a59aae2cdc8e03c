// Fares by stop pair from a pattern's zones (fare_rules.txt) or areas (Fares v2), and the ticket numbers they share.
#include "opendata/GtfsParts.h"

namespace opendata::gtfs {


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


} // namespace opendata::gtfs
