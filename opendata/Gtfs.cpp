#include "opendata/Gtfs.h"

#include "opendata/GtfsParts.h"

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

using namespace gtfs;

namespace {


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

} // namespace

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

