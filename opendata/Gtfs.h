#pragma once
// GTFS and GTFS-JP ("標準的なバス情報フォーマット") feeds turned into routes
// the board rides. A route on the board is one stop pattern of one GTFS
// route: the stop sequence its trips share. The import gives the pattern's
// fare records (fares by ticket number), its announcement list, the stop
// readings the feed publishes, the stop coordinates and a report.
//
// Only the files the import needs are read; any other file, and any column
// it does not know, is ignored. A file it needs but cannot read is a
// FeedError naming the file, the line and the column.
#include "opendata/Feed.h"
#include "ride/FareData.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace opendata {

struct PatternInfo {
    QString routeId;
    QString routeName;     // short and long name as a rider knows the route
    QString parentRouteId; // GTFS-JP jp_parent_route_id, when given
    int routeType = 3;     // route_type: 0 a tram, 3 a bus, 4 a ferry...
    QString directionId;
    QString headsign;      // the trips' most common headsign, else the last stop
    int rank = 0;          // 0 = the pattern of the most trips of its route and direction
    int stops = 0;
    QString firstStop, lastStop;
    int trips = 0;
    QString firstTripId;   // the trip that leaves first
};

// Every pattern of every route, in the order of routes.txt, then direction,
// then most trips first.
struct Listing {
    QList<PatternInfo> patterns;
    QStringList warnings;
    QStringList notes; // the warnings in Japanese
};
Listing listPatterns(const Feed &feed);

struct Choice {
    QString routeId;
    QString directionId; // empty: any direction
    QString tripId;      // given: that trip's pattern, and its times
    int rank = 0;        // which pattern of the route (and direction), 0 = most trips
};

// The longest stop name the strip takes, in bytes of code page 932 (two a
// full-width character).
constexpr int kMaxNameBytes = 40;
constexpr int kTickets = 60; // the board's ticket-number cells

struct Import {
    PatternInfo pattern;
    QString tripId;                   // whose times the stops file carries
    QList<fare::FareRecord> records;  // for fare::writeFareFile
    QByteArray tape;                  // <route>tp.csv: code page 932, CRLF
    QByteArray readings;              // <route>yomi.csv: code page 932, "name,reading" lines
    QByteArray stops;                 // <route>.stops.csv: UTF-8
    int readingCount = 0;
    int ticketCount = 0;
    int faresUndefined = 0;  // boarding stop to later stop pairs the feed gives no fare for
    QString fareSource;      // which files and which price were taken
    QStringList warnings;    // one a cut or changed name, and the like
    // The report in Japanese, for the import window: where the fares came
    // from, the warnings, what the feed left unclear (a ride priced more
    // than one way, a fare of 0 yen, a file read as Shift_JIS).
    QStringList notes;
};

// Errors: FeedError for the feed; 9 for a route, direction, trip or rank
// that is not there; 6 for a pattern the board cannot hold (more than 301
// stops, fewer than two, or more than 60 ticket numbers after sharing).
Import importPattern(const Feed &feed, const Choice &choice);

// The files an import writes as route `number`: the fare file and the stops
// file into the fare folder, the announcement list and, when the feed has
// readings, the reading list into the announcement folder. Every file is
// made before any is written.
struct OutputFile {
    QString path;
    QByteArray bytes;
};
QList<OutputFile> outputFiles(const Import &im, int number, const QString &fareDir, const QString &tapeDir);

// A route number for a pattern: the digits of its short name when they
// make one of 1..99999 not yet taken, else the lowest free number from 1.
int suggestNumber(const PatternInfo &pattern, const QList<int> &taken);

// The stops file's header and one line (for readers of it).
QByteArray stopsHeader();

// A stop name as the board can hold it: what code page 932 lacks becomes
// 〓, then cut to kMaxNameBytes on a character boundary. Sets the warning
// text when the name changed.
QString boardName(const QString &name, QString *warning = nullptr);
// The same, with the warning in Japanese too.
QString boardName(const QString &name, QString *warning, QString *japanese);
// The name as announcements write it: the same without the cut.
QString spokenName(const QString &name);

} // namespace opendata
