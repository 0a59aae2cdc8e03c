#include "bench/GtfsFeed.h"

#include <QDir>
#include <QFile>

#include <zip.h>

#include <cstring>

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

namespace {

// stop_times.txt made as libzip reads it: a header, then a block of 1,000
// rows again and again, never whole in memory.
struct BombSource {
    QByteArray header = "trip_id,stop_id,stop_sequence\n";
    QByteArray block;
    qint64 size = 0, at = 0;

    static zip_int64_t call(void *self, void *data, zip_uint64_t len, zip_source_cmd_t cmd)
    {
        auto *b = static_cast<BombSource *>(self);
        switch (cmd) {
        case ZIP_SOURCE_OPEN: b->at = 0; return 0;
        case ZIP_SOURCE_READ: {
            qint64 n = 0;
            auto *out = static_cast<char *>(data);
            while (n < qint64(len) && b->at < b->size) {
                const bool inHeader = b->at < b->header.size();
                const qint64 off = inHeader ? b->at : (b->at - b->header.size()) % b->block.size();
                const QByteArray &from = inHeader ? b->header : b->block;
                const qint64 take = std::min({qint64(len) - n, qint64(from.size()) - off, b->size - b->at});
                std::memcpy(out + n, from.constData() + off, size_t(take));
                n += take;
                b->at += take;
            }
            return n;
        }
        case ZIP_SOURCE_CLOSE: return 0;
        case ZIP_SOURCE_STAT: {
            auto *st = static_cast<zip_stat_t *>(data);
            zip_stat_init(st);
            st->size = zip_uint64_t(b->size);
            st->valid |= ZIP_STAT_SIZE;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR: return 2 * sizeof(int);
        case ZIP_SOURCE_FREE: return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                  ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
        default: return -1;
        }
    }
};

} // namespace

bool writeRowBomb(const QString &zipPath, qint64 rows)
{
    BombSource src;
    for (int i = 0; i < 1000; ++i)
        src.block += (i % 2 ? "T,U," : "T,S,") + QByteArray::number(i + 1) + '\n';
    src.size = src.header.size() + rows / 1000 * src.block.size();
    int err = 0;
    zip_t *z = zip_open(QFile::encodeName(zipPath).constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    if (!z)
        return false;
    const QByteArray small[][2] = {{"stops.txt", "stop_id,stop_name\nS,a\nU,b\n"},
                                   {"routes.txt", "route_id\nR\n"},
                                   {"trips.txt", "route_id,service_id,trip_id\nR,W,T\n"}};
    bool ok = true;
    for (const auto &f : small) {
        zip_source_t *s = zip_source_buffer(z, f[1].constData(), zip_uint64_t(f[1].size()), 0);
        ok = ok && s && zip_file_add(z, f[0].constData(), s, 0) >= 0;
    }
    zip_source_t *s = zip_source_function(z, &BombSource::call, &src);
    const zip_int64_t index = s ? zip_file_add(z, "stop_times.txt", s, 0) : -1;
    ok = ok && index >= 0 && zip_set_file_compression(z, zip_uint64_t(index), ZIP_CM_DEFLATE, 9) == 0;
    if (!ok) {
        zip_discard(z);
        return false;
    }
    return zip_close(z) == 0;
}

} // namespace bench
