#pragma once
// NMEA 0183 as receivers, gpsd and recorded drives carry it: the position
// sentences RMC (time, validity, position, speed) and GGA (fix quality,
// position), each with its checksum. Pure: a line in, a fix or nothing out,
// whatever the bytes.
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <optional>

namespace nmea {

struct Fix {
    double lat = 0, lon = 0;
    double speedMps = -1;  // RMC only
    int secondsOfDay = -1; // UTC, from the sentence's time
};

enum class Rejected { None, NotPosition, BadChecksum, Garbage, NoFix };

// One sentence ("$GPRMC,...*hh", with or without its line end). A line that
// is too long, has a wrong or missing checksum, or is no position sentence
// gives no fix, and why.
std::optional<Fix> parse(QByteArrayView line, Rejected *why = nullptr);

// What a recorded drive writes for one second: an RMC and a GGA sentence,
// each with its checksum and CRLF.
QByteArray sentences(const Fix &fix);

} // namespace nmea
