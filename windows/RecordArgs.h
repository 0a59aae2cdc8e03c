#pragma once
// What the console's "録画..." window asks soratobi4-record for: the same
// choices as the command, turned into its command line.
#include <QString>
#include <QStringList>

namespace recordargs {

struct Choice {
    QString route, section;
    enum class Drive { Timetable, Nmea, Script } drive = Drive::Timetable;
    int speed = 1;        // the timetable's ×1..×60
    QString driveFile;    // the NMEA log or the script
    int scale = 2;        // 1..4, or 0 with a screen
    QString screen;       // "1920x1080" or "3840x2160"
    int fps = 30;
    QString settings;     // the settings file the board reads
    QString out;
};

QStringList arguments(const Choice &c);

// The share done, 0..100, from a progress line of the command ("  12.5 / 90.0 s  (13%)"); -1 when none.
int progressOf(const QString &line);

} // namespace recordargs
