// soratobi4-route: route data between a spreadsheet's CSV and the .hy3 file
// the console loads, and a check of an announcement list.
#include "core/FileIo.h"
#include "core/VbError.h"
#include "follow/Drive.h"
#include "follow/StopsFile.h"
#include "opendata/FeedPath.h"
#include "opendata/Gtfs.h"
#include "ride/FareData.h"
#include "tools/RouteCsv.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <cstdio>

namespace {

constexpr qint64 kMaxInput = 64 * 1024 * 1024;

const char kHelp[] = R"(usage:
  soratobi4-route to-hy3 ROUTE.csv ROUTE.hy3      CSV to route fare file
  soratobi4-route to-csv ROUTE.hy3 ROUTE.csv [--cp932]
                                                  route fare file to CSV
  soratobi4-route check-tp ROUTEtp.csv            what the program reads
                                                  from an announcement list
  soratobi4-route tape LIST.csv ROUTEtp.csv       an announcement list written
                                                  in UTF-8 to code page 932
  soratobi4-route drive ROUTE.stops.csv OUT.nmea [--seed N]
                                                  a made-up drive along the
                                                  stops, as a receiver's NMEA
  soratobi4-route gtfs FEED --list                the stop patterns of a GTFS /
                                                  GTFS-JP feed (.zip or folder)
  soratobi4-route gtfs FEED --route ID [--direction D | --trip ID] [--pattern K]
                  --number N --out DIR [--tape-out DIR]
                                                  one pattern as route N

Route CSV: one stop a line: stop name, ticket number, then value columns
1..150 (trailing empty cells may be left out; an empty cell is 0). At most
301 stops, every number a whole number in -32768..32767. UTF-8 with or
without BOM, or code page 932 (Shift_JIS as Japanese spreadsheets save it).
to-csv writes UTF-8 with a BOM, or code page 932 with --cp932.

Announcement list (code page 932): one entry a line: text, step flag
(1: the fares step along), sound flag (1..3: TapeSound1..3 first). A text
in double quotes may hold commas.

gtfs: a route on the board is one stop pattern of one GTFS route, by default
the one most trips follow (--direction: in that direction; --pattern K: the
K-th of the list, 0 the first; --trip: that trip's). It writes N.hy3 and
N.stops.csv (seq, stop_id, name, lat, lon and the trip's times) into DIR, and
Ntp.csv with Nyomi.csv (the feed's readings of the stop names: name,reading
in code page 932, spoken in place of the dictionary's) into the --tape-out
folder (default DIR); a folder not there is made. N is 1..99999; existing
files are replaced.

Nothing is written when the input has an error; the message names the line
and the column. Exit status: 0 done, 1 bad input, 2 usage.
)";

QTextStream &out()
{
    static QTextStream s(stdout);
    return s;
}
QTextStream &err()
{
    static QTextStream s(stderr);
    return s;
}

QByteArray readAll(const QString &path)
{
    // A regular file only: a FIFO or a device would hang or never end.
    fileio::Read f = fileio::readRegular(path, kMaxInput);
    if (f.error)
        vb::raise(f.error, QStringLiteral("cannot read %1: %2").arg(path, vb::Error::standardDescription(f.error)));
    f.bytes.truncate(kMaxInput);
    return f.bytes;
}

// Whole or nothing: a failure (a full disk included) leaves any old file as it was.
void writeAll(const QString &path, const QByteArray &bytes)
{
    if (const int e = fileio::writeWhole(path, bytes))
        vb::raise(e, QStringLiteral("cannot write %1: %2")
                         .arg(path, e == vb::ErrDeviceIO ? QStringLiteral("the disk is full or failed; nothing was written")
                                                         : vb::Error::standardDescription(e)));
}

// The route's files as one: all new, or on any failure all as they were.
// The message says which.
void writeRoute(const QList<opendata::OutputFile> &files)
{
    QList<fileio::FileWrite> group;
    for (const opendata::OutputFile &f : files)
        group.append({f.path, f.bytes});
    const fileio::GroupResult r = fileio::writeGroup(group);
    if (!r.error)
        return;
    const QString cause = r.error == vb::ErrDeviceIO ? QStringLiteral("the disk is full or failed") : vb::Error::standardDescription(r.error);
    if (r.allOld())
        vb::raise(r.error, QStringLiteral("cannot write %1: %2; nothing was written, the route's old files are as they were").arg(r.failed, cause));
    QStringList left;
    for (qsizetype i = 0; i < r.notRestored.size(); ++i)
        left << QStringLiteral("%1 (%2%3)")
                    .arg(r.notRestored[i], QFileInfo::exists(r.notRestored[i]) ? QStringLiteral("the new one") : QStringLiteral("missing"),
                         r.aside.value(i).isEmpty() ? QString() : QStringLiteral("; the old one is %1").arg(r.aside[i]));
    vb::raise(r.error, QStringLiteral("cannot write %1: %2; the old files could not all be put back: %3")
                           .arg(r.failed, cause, left.join(QStringLiteral(", "))));
}

QString option(const QStringList &args, const QString &name)
{
    const qsizetype i = args.indexOf(name);
    if (i < 0)
        return {};
    if (i + 1 >= args.size() || args[i + 1].startsWith(QLatin1String("--")))
        vb::raise(vb::ErrInvalidCall, QStringLiteral("%1 needs a value").arg(name));
    return args[i + 1];
}

int gtfs(const QStringList &args)
{
    const opendata::Feed feed = opendata::openFeed(args[1]);
    if (args.contains(QLatin1String("--list"))) {
        const opendata::Listing l = opendata::listPatterns(feed);
        out() << "route\tdirection\tpattern\ttrips\tstops\tname\theadsign\tfirst\tlast\tparent\n";
        for (const opendata::PatternInfo &p : l.patterns)
            out() << p.routeId << '\t' << p.directionId << '\t' << p.rank << '\t' << p.trips << '\t' << p.stops << '\t'
                  << p.routeName << '\t' << p.headsign << '\t' << p.firstStop << '\t' << p.lastStop << '\t'
                  << p.parentRouteId << '\n';
        for (const QString &w : l.warnings)
            err() << "warning: " << w << '\n';
        return 0;
    }
    opendata::Choice c;
    c.routeId = option(args, QStringLiteral("--route"));
    c.directionId = option(args, QStringLiteral("--direction"));
    c.tripId = option(args, QStringLiteral("--trip"));
    const QString pattern = option(args, QStringLiteral("--pattern"));
    const QString number = option(args, QStringLiteral("--number"));
    const QString dir = option(args, QStringLiteral("--out"));
    const QString tapeDir = args.contains(QLatin1String("--tape-out")) ? option(args, QStringLiteral("--tape-out")) : dir;
    bool ok = true;
    c.rank = pattern.isEmpty() ? 0 : pattern.toInt(&ok);
    const int n = number.toInt(&ok) * (ok ? 1 : 0);
    if ((c.routeId.isEmpty() && c.tripId.isEmpty()) || dir.isEmpty() || !ok || n < 1 || n > 99999 ||
        (!c.directionId.isEmpty() && !c.tripId.isEmpty()))
        return -1;
    const opendata::Import im = opendata::importPattern(feed, c);
    // Every file is made before the first is written.
    const QString key = QString::number(n);
    const QList<opendata::OutputFile> files = opendata::outputFiles(im, n, dir, tapeDir);
    // Folders that are not there yet are made, as the import window makes its own.
    for (const QString &d : {dir, tapeDir})
        if (!QDir().mkpath(d))
            vb::raise(vb::ErrPathFileAccess, QStringLiteral("cannot make the folder %1").arg(d));
    writeRoute(files);
    out() << QStringLiteral("route %1: %2 (%3), direction %4, %5 stops, %6 trips; times of trip %7\n")
                 .arg(key, im.pattern.routeName, im.pattern.routeId, im.pattern.directionId.isEmpty() ? QStringLiteral("-") : im.pattern.directionId)
                 .arg(im.records.size()).arg(im.pattern.trips).arg(im.tripId);
    out() << QStringLiteral("%1 ticket numbers; %2 fares the feed does not give are blank; fares: %3\n")
                 .arg(im.ticketCount).arg(im.faresUndefined).arg(im.fareSource);
    out() << QStringLiteral("%1 readings from translations.txt\n").arg(im.readingCount);
    for (const QString &w : im.warnings)
        err() << "warning: " << w << '\n';
    for (const opendata::OutputFile &f : files)
        out() << "wrote " << f.path << '\n';
    return 0;
}

int run(const QStringList &args)
{
    const QString cmd = args.value(0);
    if (cmd == QLatin1String("to-hy3") && args.size() == 3) {
        const auto records = routecsv::readRouteCsv(readAll(args[1]));
        writeAll(args[2], fare::writeFareFile(records));
        out() << args[2] << ": " << records.size() << " stops\n";
        return 0;
    }
    if (cmd == QLatin1String("to-csv") && (args.size() == 3 || (args.size() == 4 && args[3] == QLatin1String("--cp932")))) {
        const fare::FareFile file = fare::readFareFile(readAll(args[1]));
        if (file.DataCount < 1 || file.DataCount > fare::kRows)
            vb::raise(vb::ErrSubscript, QStringLiteral("the file declares %1 stops (1..%2 load)").arg(file.DataCount).arg(fare::kRows));
        const auto enc = args.size() == 4 ? routecsv::Encoding::Cp932 : routecsv::Encoding::Utf8Bom;
        writeAll(args[2], routecsv::writeRouteCsv(file.records, enc));
        out() << args[2] << ": " << file.records.size() << " stops\n";
        return 0;
    }
    if (cmd == QLatin1String("check-tp") && args.size() == 2) {
        const routecsv::TapeCheck c = routecsv::checkTapeCsv(readAll(args[1]));
        for (int i = 0; i < c.entries.size(); ++i) {
            const routecsv::TapeEntry &e = c.entries[i];
            out() << QStringLiteral("%1: step %2, sound %3: %4\n").arg(i + 1).arg(e.stepFlag).arg(e.soundFlag).arg(e.text);
        }
        for (const QString &w : c.warnings)
            err() << args[1] << ": " << w << '\n';
        out() << c.entries.size() << " entries, " << c.warnings.size() << " warnings\n";
        return 0;
    }
    if (cmd == QLatin1String("tape") && args.size() == 3) {
        const QByteArray list = routecsv::convertTapeCsv(readAll(args[1]));
        writeAll(args[2], list);
        out() << args[2] << ": " << routecsv::checkTapeCsv(list).entries.size() << " entries\n";
        return 0;
    }
    if (cmd == QLatin1String("gtfs") && args.size() >= 3 && !args.contains(QLatin1String("--help"))) {
        const int r = gtfs(args);
        if (r >= 0)
            return r;
    }
    if (cmd == QLatin1String("drive") && (args.size() == 3 || (args.size() == 5 && args[3] == QLatin1String("--seed")))) {
        const QList<follow::Stop> stops = follow::readStopsFile(readAll(args[1]));
        for (const follow::Stop &st : stops)
            if (!st.hasPosition)
                vb::raise(vb::ErrInvalidCall, QStringLiteral("%1: the stop \"%2\" has no coordinates").arg(args[1], st.name));
        follow::DriveSettings d;
        if (args.size() == 5)
            d.seed = args[4].toUInt();
        if (!stops.isEmpty() && stops[0].departureSec >= 0)
            d.startSec = stops[0].departureSec - d.dwellSec;
        const QByteArray log = follow::driveLog(stops, d);
        writeAll(args[2], log);
        out() << args[2] << ": " << log.count('\n') / 2 << " s of driving past " << stops.size() << " stops\n";
        return 0;
    }
    if (cmd == QLatin1String("--help") || cmd == QLatin1String("-h") || args.contains(QLatin1String("--help"))) {
        out() << kHelp;
        return 0;
    }
    err() << kHelp;
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    args.removeFirst();
    if (args == QStringList{QStringLiteral("--version")}) {
        out() << "soratobi4-route " S4_VERSION "\n";
        return 0;
    }
    try {
        return run(args);
    } catch (...) {
        const vb::Error e = vb::currentError();
        err() << args.value(1) << ": " << e.description() << " (error " << e.number() << ")\n";
        return 1;
    }
}
