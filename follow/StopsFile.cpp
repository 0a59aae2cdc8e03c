#include "follow/StopsFile.h"

#include "core/VbError.h"
#include "opendata/Csv.h"

#include <memory>

namespace follow {

int secondsOf(const QString &hhmmss)
{
    const QStringList p = hhmmss.trimmed().split(u':');
    if (p.size() != 3)
        return -1;
    bool a = false, b = false, c = false;
    const int h = p[0].toInt(&a), m = p[1].toInt(&b), s = p[2].toInt(&c);
    if (!a || !b || !c || h < 0 || h > 47 || m < 0 || m > 59 || s < 0 || s > 59)
        return -1;
    return h * 3600 + m * 60 + s;
}

QList<Stop> readStopsFile(QByteArrayView bytes)
{
    const QString file = QStringLiteral("stops file");
    QList<Stop> stops;
    std::unique_ptr<opendata::CsvTable> table;
    int name = -1, lat = -1, lon = -1, arrival = -1, departure = -1;
    opendata::readCsv(file, bytes, [&](const opendata::CsvRecord &r) {
        if (!table) {
            table = std::make_unique<opendata::CsvTable>(file, r);
            name = table->required("name");
            lat = table->column("lat");
            lon = table->column("lon");
            arrival = table->column("arrival");
            departure = table->column("departure");
            return;
        }
        if (stops.size() >= 301)
            table->failAt(r, name, QStringLiteral("more than 301 stops"), vb::ErrSubscript);
        Stop s;
        s.name = opendata::CsvTable::text(r, name);
        bool okLat = false, okLon = false;
        s.lat = opendata::CsvTable::text(r, lat).toDouble(&okLat);
        s.lon = opendata::CsvTable::text(r, lon).toDouble(&okLon);
        s.hasPosition = okLat && okLon && std::abs(s.lat) <= 90 && std::abs(s.lon) <= 180;
        s.arrivalSec = secondsOf(opendata::CsvTable::text(r, arrival));
        s.departureSec = secondsOf(opendata::CsvTable::text(r, departure));
        stops << s;
    });
    return stops;
}

} // namespace follow
