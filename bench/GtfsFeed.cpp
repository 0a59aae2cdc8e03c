#include "bench/GtfsFeed.h"

#include <QDir>
#include <QFile>

namespace bench {

namespace {

bool put(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Stop k of route r: routes run over overlapping stretches of the city.
int stopOf(int route, int k, const GtfsFeedSize &s) { return (route * 7 + k * (1 + route % 3)) % s.stops; }

} // namespace

bool writeGtfsFeed(const QString &folder, const GtfsFeedSize &s)
{
    QDir().mkpath(folder);
    const QDir d(folder);
    QByteArray stops = "stop_id,stop_name,stop_lat,stop_lon,zone_id,location_type,parent_station\r\n";
    QByteArray translations = "trans_id,lang,translation\r\n";
    for (int i = 0; i < s.stops; ++i) {
        const QByteArray n = QByteArray::number(i);
        stops += "S" + n + ",停留所" + n + "番," + QByteArray::number(35.0 + i * 0.0001, 'f', 6) + "," +
                 QByteArray::number(139.0 + i * 0.0001, 'f', 6) + ",Z" + n + ",0,\r\n";
        translations += "停留所" + n + "番,ja-Hrkt,ていりゅうじょ" + n + "ばん\r\n";
    }
    QByteArray routes = "route_id,agency_id,route_short_name,route_long_name,route_type,jp_parent_route_id\r\n";
    QByteArray trips = "route_id,service_id,trip_id,trip_headsign,direction_id\r\n";
    QByteArray times = "trip_id,arrival_time,departure_time,stop_id,stop_sequence,pickup_type,drop_off_type\r\n";
    times.reserve(qsizetype(s.stopTimes) * 48);
    const int tripCount = s.stopTimes / s.stopsPerTrip;
    for (int r = 0; r < s.routes; ++r)
        routes += "R" + QByteArray::number(r) + ",A," + QByteArray::number(r) + ",系統" + QByteArray::number(r) + ",3,P" +
                  QByteArray::number(r / 10) + "\r\n";
    for (int t = 0; t < tripCount; ++t) {
        const int r = t % s.routes, dir = (t / s.routes) % 2;
        const QByteArray id = "T" + QByteArray::number(t);
        trips += "R" + QByteArray::number(r) + ",W," + id + ",行先" + QByteArray::number(r) + "," + QByteArray::number(dir) + "\r\n";
        const int start = 6 * 3600 + (t / s.routes) * 300;
        for (int k = 0; k < s.stopsPerTrip; ++k) {
            const int at = start + k * 120;
            const QByteArray clock = QStringLiteral("%1:%2:%3").arg(at / 3600, 2, 10, QChar(u'0')).arg(at / 60 % 60, 2, 10, QChar(u'0')).arg(at % 60, 2, 10, QChar(u'0')).toLatin1();
            const int stop = stopOf(r, dir ? s.stopsPerTrip - 1 - k : k, s);
            times += id + "," + clock + "," + clock + ",S" + QByteArray::number(stop) + "," + QByteArray::number(k + 1) + ",0,0\r\n";
        }
    }
    // Prices by how far apart two zones are.
    QByteArray attributes = "fare_id,price,currency_type,payment_method,transfers\r\n";
    for (int f = 0; f < 100; ++f)
        attributes += "F" + QByteArray::number(f) + "," + QByteArray::number(150 + 10 * f) + ",JPY,0,0\r\n";
    QByteArray rules = "fare_id,route_id,origin_id,destination_id,contains_id\r\n";
    rules.reserve(qsizetype(s.fareRules) * 24);
    int written = 0;
    for (int r = 0; r < s.routes && written < s.fareRules; ++r)
        for (int a = 0; a < s.stopsPerTrip && written < s.fareRules; ++a)
            for (int b = a; b < s.stopsPerTrip && written < s.fareRules; ++b, ++written)
                rules += "F" + QByteArray::number((b - a) % 100) + ",R" + QByteArray::number(r) + ",Z" +
                         QByteArray::number(stopOf(r, a, s)) + ",Z" + QByteArray::number(stopOf(r, b, s)) + ",\r\n";
    for (int i = 0; written < s.fareRules; ++i, ++written) {
        const int a = i % s.stops, b = (i / s.stops + a + 1) % s.stops;
        rules += "F" + QByteArray::number(qAbs(b - a) % 100) + ",,Z" + QByteArray::number(a) + ",Z" + QByteArray::number(b) + ",\r\n";
    }
    const QByteArray bom = "\xEF\xBB\xBF";
    return put(d.filePath(QStringLiteral("agency.txt")), bom + "agency_id,agency_name,agency_url,agency_timezone\r\nA,バス,https://example.invalid,Asia/Tokyo\r\n") &&
           put(d.filePath(QStringLiteral("stops.txt")), bom + stops) && put(d.filePath(QStringLiteral("routes.txt")), bom + routes) &&
           put(d.filePath(QStringLiteral("trips.txt")), bom + trips) && put(d.filePath(QStringLiteral("stop_times.txt")), bom + times) &&
           put(d.filePath(QStringLiteral("fare_attributes.txt")), bom + attributes) &&
           put(d.filePath(QStringLiteral("fare_rules.txt")), bom + rules) &&
           put(d.filePath(QStringLiteral("translations.txt")), bom + translations);
}

} // namespace bench
