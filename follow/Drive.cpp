#include "follow/Drive.h"

#include "follow/Nmea.h"

#include <QRandomGenerator>

#include <cmath>

namespace follow {

QList<nmea::Fix> driveFixes(const QList<Stop> &stops, const DriveSettings &settings)
{
    QList<nmea::Fix> fixes;
    QRandomGenerator rng(settings.seed);
    int t = 0;
    const auto emitAt = [&](double lat, double lon, double speed) {
        if (!settings.dropped.contains(t)) {
            // Metres to degrees near the point.
            const double dy = (rng.generateDouble() * 2 - 1) * settings.noiseM;
            const double dx = (rng.generateDouble() * 2 - 1) * settings.noiseM;
            nmea::Fix f;
            f.lat = lat + dy / 111320.0;
            f.lon = lon + dx / (111320.0 * std::cos(lat * M_PI / 180));
            f.speedMps = speed;
            f.secondsOfDay = settings.startSec + t;
            fixes << f;
        }
        ++t;
    };
    for (int i = 0; i < stops.size(); ++i) {
        for (int s = 0; s < settings.dwellSec; ++s)
            emitAt(stops[i].lat, stops[i].lon, 0);
        if (i + 1 == stops.size())
            break;
        const Stop &a = stops[i], &b = stops[i + 1];
        const double length = distanceM(a.lat, a.lon, b.lat, b.lon);
        const int steps = std::max(1, int(std::ceil(length / std::max(0.5, settings.speedMps))));
        for (int s = 1; s < steps; ++s) {
            const double k = double(s) / steps;
            emitAt(a.lat + (b.lat - a.lat) * k, a.lon + (b.lon - a.lon) * k, settings.speedMps);
        }
    }
    return fixes;
}

QByteArray driveLog(const QList<Stop> &stops, const DriveSettings &settings)
{
    QByteArray log;
    int n = 0;
    for (const nmea::Fix &f : driveFixes(stops, settings)) {
        QByteArray s = nmea::sentences(f);
        if (++n % 97 == 0)
            log += "garbage on the line \x01\x02\r\n";
        if (n % 131 == 0)
            s[s.indexOf('*') + 1] = s[s.indexOf('*') + 1] == '0' ? '1' : '0'; // a wrong checksum
        log += s;
    }
    return log;
}

} // namespace follow
