#include "follow/Nmea.h"

#include <cmath>
#include <cstdio>

namespace nmea {

namespace {

constexpr qsizetype kMaxLine = 120; // the standard's 82, and room for talkers that exceed it

std::optional<double> number(QByteArrayView f)
{
    if (f.isEmpty() || f.size() > 20)
        return std::nullopt;
    bool ok = false;
    const double v = QByteArray(f.data(), f.size()).toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

// ddmm.mmmm (or dddmm.mmmm) and its hemisphere.
std::optional<double> angle(QByteArrayView value, QByteArrayView hemisphere, double limit)
{
    const auto v = number(value);
    if (!v || *v < 0 || hemisphere.size() != 1)
        return std::nullopt;
    const double degrees = std::floor(*v / 100);
    const double minutes = *v - degrees * 100;
    if (minutes >= 60)
        return std::nullopt;
    double a = degrees + minutes / 60;
    const char h = hemisphere[0];
    if (h == 'S' || h == 'W')
        a = -a;
    else if (h != 'N' && h != 'E')
        return std::nullopt;
    if (std::abs(a) > limit)
        return std::nullopt;
    return a;
}

int seconds(QByteArrayView hhmmss)
{
    const auto v = number(hhmmss);
    if (!v || *v < 0 || *v >= 240000)
        return -1;
    const int t = int(*v);
    const int h = t / 10000, m = t / 100 % 100, s = t % 100;
    return m < 60 && s < 61 ? h * 3600 + m * 60 + s : -1;
}

QByteArray angleText(double a, bool latitude)
{
    const char h = latitude ? (a < 0 ? 'S' : 'N') : (a < 0 ? 'W' : 'E');
    a = std::abs(a);
    const int degrees = int(a);
    const double minutes = (a - degrees) * 60;
    char buf[32];
    std::snprintf(buf, sizeof buf, latitude ? "%02d%07.4f,%c" : "%03d%07.4f,%c", degrees, minutes, h);
    return buf;
}

QByteArray withChecksum(const QByteArray &body)
{
    unsigned char sum = 0;
    for (char c : body)
        sum ^= static_cast<unsigned char>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
    return '$' + body + tail;
}

} // namespace

std::optional<Fix> parse(QByteArrayView line, Rejected *why)
{
    Rejected dummy;
    Rejected &r = why ? *why : dummy;
    while (!line.isEmpty() && (line.back() == '\n' || line.back() == '\r'))
        line.chop(1);
    r = Rejected::Garbage;
    if (line.size() < 10 || line.size() > kMaxLine || line[0] != '$')
        return std::nullopt;
    const qsizetype star = line.lastIndexOf('*');
    if (star < 0 || star + 3 != line.size()) {
        r = Rejected::BadChecksum;
        return std::nullopt;
    }
    unsigned char sum = 0;
    for (qsizetype i = 1; i < star; ++i)
        sum ^= static_cast<unsigned char>(line[i]);
    bool ok = false;
    const int given = QByteArray(line.data() + star + 1, 2).toInt(&ok, 16);
    if (!ok || given != sum) {
        r = Rejected::BadChecksum;
        return std::nullopt;
    }
    const QList<QByteArray> f = QByteArray(line.data() + 1, star - 1).split(',');
    const QByteArray type = f[0].size() == 5 ? f[0].mid(2) : QByteArray();
    Fix fix;
    if (type == "RMC" && f.size() >= 10) {
        if (f[2] != "A") {
            r = Rejected::NoFix;
            return std::nullopt;
        }
        const auto lat = angle(f[3], f[4], 90), lon = angle(f[5], f[6], 180);
        if (!lat || !lon)
            return std::nullopt;
        fix.lat = *lat;
        fix.lon = *lon;
        if (const auto knots = number(f[7]); knots && *knots >= 0)
            fix.speedMps = *knots * 1852.0 / 3600.0;
        fix.secondsOfDay = seconds(f[1]);
    } else if (type == "GGA" && f.size() >= 7) {
        if (f[6].isEmpty() || f[6] == "0") {
            r = Rejected::NoFix;
            return std::nullopt;
        }
        const auto lat = angle(f[2], f[3], 90), lon = angle(f[4], f[5], 180);
        if (!lat || !lon)
            return std::nullopt;
        fix.lat = *lat;
        fix.lon = *lon;
        fix.secondsOfDay = seconds(f[1]);
    } else {
        r = Rejected::NotPosition;
        return std::nullopt;
    }
    r = Rejected::None;
    return fix;
}

QByteArray sentences(const Fix &fix)
{
    const int t = fix.secondsOfDay < 0 ? 0 : fix.secondsOfDay % 86400;
    char time[16];
    std::snprintf(time, sizeof time, "%02d%02d%02d.00", t / 3600, t / 60 % 60, t % 60);
    const QByteArray lat = angleText(fix.lat, true), lon = angleText(fix.lon, false);
    char speed[16];
    std::snprintf(speed, sizeof speed, "%.1f", std::max(0.0, fix.speedMps) * 3600.0 / 1852.0);
    return withChecksum("GPRMC," + QByteArray(time) + ",A," + lat + ',' + lon + ',' + speed + ",0.0,010125,,,A")
           + withChecksum("GPGGA," + QByteArray(time) + ',' + lat + ',' + lon + ",1,08,1.0,10.0,M,40.0,M,,");
}

} // namespace nmea
