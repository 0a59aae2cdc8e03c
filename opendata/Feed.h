#pragma once
// A GTFS feed's files, as published (a .zip) or unpacked (a folder), read
// on demand and streamed in chunks. The archive is taken as bytes and
// checked before any entry is read: at most so many entries and so many
// uncompressed bytes (claimed and actually inflated), no encrypted entry,
// no split archive (fromZipFile lets libzip read it in place from the disk).
// A file of a folder is streamed as well (fileio::streamRegular), under the same
// byte bounds, and a table stops at a row bound of its own: what the import
// keeps of a row bounds its memory, what it reads bounds its time.
#include "opendata/Csv.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace opendata {

struct FeedLimits {
    int maxEntries = 10000;
    qint64 maxUncompressed = qint64(1) << 30; // all the files the import reads, together, each time it reads them
    qint64 maxFileBytes = qint64(1) << 30;    // one file
    // One file other than stop_times.txt, fare_rules.txt and the three the
    // model counts: their rows may keep text of any length.
    qint64 maxTableBytes = qint64(64) << 20;
    // What stops, routes and trips keep in memory, together.
    qint64 maxModelBytes = qint64(192) << 20;
    // Rows of one file. A stop, route or trip is kept whole; a stop_times
    // row in 12 bytes; fare rules only where they meet the chosen pattern.
    qint64 maxRows = 1000000;       // any other file
    qint64 maxStops = 200000;       // stops.txt
    qint64 maxRoutes = 50000;       // routes.txt
    qint64 maxTrips = 600000;       // trips.txt
    qint64 maxStopTimes = 10000000; // stop_times.txt
    qint64 maxRules = 4000000;      // fare_rules.txt, fare_leg_rules.txt
    int maxPatterns = 50000;        // stop patterns of the whole feed
    qint64 rowsOf(const QString &file) const;
    qint64 bytesOf(const QString &file) const;
};

class Feed {
public:
    using Chunk = std::function<void(QByteArrayView)>;
    using FolderReader = std::function<std::optional<QByteArray>(const QString &name)>;
    // Streams one file of a folder in chunks; throws (FeedError) when it cannot.
    using FolderStream = std::function<void(const QString &name, const Chunk &chunk)>;

    // Errors name the archive (file = label): 75 for what is not a zip
    // archive or is split or encrypted, 7 past a bound.
    static Feed fromZip(QByteArray zip, const QString &label = QStringLiteral("feed"), FeedLimits limits = {});
    // The same, read from the file at path as it is needed (path: a regular file).
    static Feed fromZipFile(const QString &path, const QString &label, FeedLimits limits = {});
    // names: the files the folder holds; read: one of them, whole.
    static Feed fromFolder(const QStringList &names, FolderReader read, FeedLimits limits = {});
    // names: the files the folder holds; stream: one of them, in chunks.
    static Feed streamFolder(const QStringList &names, FolderStream stream, FeedLimits limits = {});

    // File names match without regard to letter case; an archive whose
    // files all sit in one folder is read from that folder.
    bool has(const QString &name) const;
    // The file's bytes in chunks; error 53 when it is not there.
    void read(const QString &name, const Chunk &chunk) const;
    const FeedLimits &limits() const;
    // Starts the count of bytes read anew: the bound on the whole feed holds
    // for one listing or one import, however many a window makes of one feed.
    void restartCount() const;

    struct Impl;

private:
    static Feed folder(const QStringList &names, FeedLimits limits); // the files, not yet how to read them
    std::shared_ptr<Impl> d;
};

// A file of the feed through the CSV reader: the header first, then every
// record, each handed to body with the table; error 7 naming the file past
// its row bound.
void readTable(const Feed &feed, const QString &name,
               const std::function<void(const CsvTable &, const CsvRecord &)> &body,
               const std::function<void(const CsvTable &)> &header = {});

} // namespace opendata
