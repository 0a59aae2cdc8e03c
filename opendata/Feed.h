#pragma once
// A GTFS feed's files, as published (a .zip) or unpacked (a folder), read
// on demand and streamed in chunks. The archive is taken as bytes and
// checked before any entry is read: at most so many entries and so many
// uncompressed bytes (claimed and actually inflated), no encrypted entry,
// no split archive. No file I/O here: a folder comes as a function that
// reads one of its files.
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
    qint64 maxUncompressed = qint64(2) << 30; // all the entries the import reads, together
    qint64 maxFileBytes = qint64(1) << 30;    // one file of a folder
};

class Feed {
public:
    using Chunk = std::function<void(QByteArrayView)>;
    using FolderReader = std::function<std::optional<QByteArray>(const QString &name)>;

    // Errors name the archive (file = label): 75 for what is not a zip
    // archive or is split or encrypted, 7 past a bound.
    static Feed fromZip(QByteArray zip, const QString &label = QStringLiteral("feed"), FeedLimits limits = {});
    // names: the files the folder holds; read: one of them, whole.
    static Feed fromFolder(const QStringList &names, FolderReader read);

    // File names match without regard to letter case; an archive whose
    // files all sit in one folder is read from that folder.
    bool has(const QString &name) const;
    // The file's bytes in chunks; error 53 when it is not there.
    void read(const QString &name, const Chunk &chunk) const;

    struct Impl;

private:
    std::shared_ptr<Impl> d;
};

// A file of the feed through the CSV reader: the header first, then every
// record, each handed to body with the table.
void readTable(const Feed &feed, const QString &name,
               const std::function<void(const CsvTable &, const CsvRecord &)> &body,
               const std::function<void(const CsvTable &)> &header = {});

} // namespace opendata
