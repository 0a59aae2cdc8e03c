#include "follow/StopsFile.h"

#include "core/VbError.h"
#include "opendata/Csv.h"

#include <QHash>

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

int Trip::firstDepartureSec() const
{
    for (int i = 0; i < departureSec.size(); ++i)
        if (int t = departureSec[i] >= 0 ? departureSec[i] : arrivalSec.value(i, -1); t >= 0)
            return t;
    return -1;
}

QList<Stop> withTrip(QList<Stop> stops, const Trip &trip)
{
    for (int i = 0; i < stops.size(); ++i) {
        stops[i].arrivalSec = trip.arrivalSec.value(i, -1);
        stops[i].departureSec = trip.departureSec.value(i, -1);
    }
    return stops;
}

QList<Stop> readStopsFile(QByteArrayView bytes, QList<Trip> *trips)
{
    const QString file = QStringLiteral("stops file");
    QList<Stop> stops;
    std::unique_ptr<opendata::CsvTable> table;
    int name = -1, lat = -1, lon = -1, arrival = -1, departure = -1;
    QList<QPair<int, int>> tripColumns; // arrival, departure of each extra trip
    if (trips)
        trips->clear();
    opendata::readCsv(file, bytes, [&](const opendata::CsvRecord &r) {
        if (!table) {
            table = std::make_unique<opendata::CsvTable>(file, r);
            name = table->required("name");
            lat = table->column("lat");
            lon = table->column("lon");
            arrival = table->column("arrival");
            departure = table->column("departure");
            // Trip ids may be any text: the header is searched as written.
            QHash<QString, int> departures;
            for (int c = 0; trips && c < r.fields.size(); ++c)
                if (const QString h = table->nameOf(c); h.startsWith(u"departure:"))
                    departures.insert(h.mid(10), c);
            for (int c = 0; trips && c < r.fields.size(); ++c)
                if (const QString h = table->nameOf(c); h.startsWith(u"arrival:") && h.size() > 8) {
                    tripColumns.append({c, departures.value(h.mid(8), -1)});
                    trips->append({h.mid(8), {}, {}});
                }
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
        for (int t = 0; t < tripColumns.size(); ++t) {
            (*trips)[t].arrivalSec << secondsOf(opendata::CsvTable::text(r, tripColumns[t].first));
            (*trips)[t].departureSec << secondsOf(opendata::CsvTable::text(r, tripColumns[t].second));
        }
    });
    return stops;
}

} // namespace follow
