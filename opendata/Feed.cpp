#include "opendata/Feed.h"

#include <zip.h>

#include <QFile>
#include <QHash>

namespace opendata {

namespace {

struct ZipDeleter {
    void operator()(zip_t *z) const { zip_discard(z); }
};
struct FileDeleter {
    void operator()(zip_file_t *f) const { zip_fclose(f); }
};

constexpr qint64 kChunk = 64 * 1024;

QString baseName(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? path : path.mid(slash + 1);
}

} // namespace

struct Feed::Impl {
    QString label;
    FeedLimits limits;
    // Zip: the bytes (libzip reads them in place) and the archive.
    QByteArray zipBytes;
    std::unique_ptr<zip_t, ZipDeleter> zip;
    QHash<QString, zip_uint64_t> entries; // lower-case name -> index
    mutable qint64 inflated = 0;
    // Folder.
    QHash<QString, QString> files; // lower-case name -> name
    FolderReader readFile;         // whole, or
    FolderStream streamFile;       // in chunks

    [[noreturn]] void archiveError(int number, const QString &message) const { fail(number, label, 0, 0, {}, message); }
};

// Opens the archive libzip reads from src (taken over) and lists its files.
static void openArchive(Feed::Impl &d, zip_source_t *src, zip_error_t &err);

Feed Feed::fromZip(QByteArray bytes, const QString &label, FeedLimits limits)
{
    Feed f;
    f.d = std::make_shared<Impl>();
    Impl &d = *f.d;
    d.label = label;
    d.limits = limits;
    d.zipBytes = std::move(bytes);
    zip_error_t err;
    zip_error_init(&err);
    zip_source_t *src = zip_source_buffer_create(d.zipBytes.constData(), zip_uint64_t(d.zipBytes.size()), 0, &err);
    openArchive(d, src, err);
    return f;
}

Feed Feed::fromZipFile(const QString &path, const QString &label, FeedLimits limits)
{
    Feed f;
    f.d = std::make_shared<Impl>();
    Impl &d = *f.d;
    d.label = label;
    d.limits = limits;
    zip_error_t err;
    zip_error_init(&err);
    zip_source_t *src = zip_source_file_create(QFile::encodeName(path).constData(), 0, -1, &err);
    openArchive(d, src, err);
    return f;
}

static void openArchive(Feed::Impl &d, zip_source_t *src, zip_error_t &err)
{
    if (!src) {
        const int code = zip_error_code_zip(&err);
        zip_error_fini(&err);
        d.archiveError(code == ZIP_ER_MEMORY ? vb::ErrOutOfMemory : vb::ErrPathFileAccess, QStringLiteral("cannot read the archive"));
    }
    zip_t *z = zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, &err);
    if (!z) {
        const int code = zip_error_code_zip(&err);
        zip_source_free(src);
        zip_error_fini(&err);
        if (code == ZIP_ER_MULTIDISK)
            d.archiveError(vb::ErrPathFileAccess, QStringLiteral("a split archive: join its parts into one .zip first"));
        d.archiveError(vb::ErrPathFileAccess, code == ZIP_ER_NOZIP ? QStringLiteral("not a zip archive")
                                                                   : QStringLiteral("a damaged zip archive"));
    }
    zip_error_fini(&err);
    d.zip.reset(z);
    const zip_int64_t n = zip_get_num_entries(z, 0);
    if (n < 0 || n > d.limits.maxEntries)
        d.archiveError(vb::ErrOutOfMemory, QStringLiteral("%1 entries in the archive (at most %2 are read)").arg(n).arg(d.limits.maxEntries));
    // Files at the top, or all in one folder as some publishers pack them.
    QHash<QString, zip_uint64_t> top, nested;
    QHash<QString, int> nestedCount;
    for (zip_int64_t i = 0; i < n; ++i) {
        const char *name = zip_get_name(z, zip_uint64_t(i), ZIP_FL_ENC_GUESS);
        if (!name)
            continue;
        const QString path = QString::fromUtf8(name);
        if (path.endsWith(u'/'))
            continue;
        if (path.contains(u'/')) {
            const QString b = baseName(path).toLower();
            nested.insert(b, zip_uint64_t(i));
            nestedCount[b] += 1;
        } else {
            top.insert(path.toLower(), zip_uint64_t(i));
        }
    }
    d.entries = top;
    if (!top.contains(QStringLiteral("stops.txt")) && nestedCount.value(QStringLiteral("stops.txt")) == 1)
        d.entries = nested;
}

Feed Feed::folder(const QStringList &names, FeedLimits limits)
{
    Feed f;
    f.d = std::make_shared<Impl>();
    f.d->label = QStringLiteral("feed");
    f.d->limits = limits;
    for (const QString &n : names)
        f.d->files.insert(n.toLower(), n);
    return f;
}

Feed Feed::fromFolder(const QStringList &names, FolderReader read, FeedLimits limits)
{
    Feed f = folder(names, limits);
    f.d->readFile = std::move(read);
    return f;
}

Feed Feed::streamFolder(const QStringList &names, FolderStream stream, FeedLimits limits)
{
    Feed f = folder(names, limits);
    f.d->streamFile = std::move(stream);
    return f;
}

const FeedLimits &Feed::limits() const { return d->limits; }

void Feed::restartCount() const { d->inflated = 0; }

qint64 FeedLimits::rowsOf(const QString &file) const
{
    const QString f = file.toLower();
    if (f == QLatin1String("stop_times.txt"))
        return maxStopTimes;
    if (f == QLatin1String("stops.txt"))
        return maxStops;
    if (f == QLatin1String("routes.txt"))
        return maxRoutes;
    if (f == QLatin1String("trips.txt"))
        return maxTrips;
    if (f == QLatin1String("fare_rules.txt") || f == QLatin1String("fare_leg_rules.txt"))
        return maxRules;
    return maxRows;
}

qint64 FeedLimits::bytesOf(const QString &file) const
{
    // The files whose rows keep no text, or whose text is counted as it is kept.
    static const QStringList counted{QStringLiteral("stop_times.txt"), QStringLiteral("fare_rules.txt"), QStringLiteral("stops.txt"),
                                     QStringLiteral("routes.txt"), QStringLiteral("trips.txt")};
    return counted.contains(file.toLower()) ? maxFileBytes : std::min(maxFileBytes, maxTableBytes);
}

bool Feed::has(const QString &name) const
{
    const QString key = name.toLower();
    return d->zip ? d->entries.contains(key) : d->files.contains(key);
}

void Feed::read(const QString &name, const Chunk &chunk) const
{
    const QString key = name.toLower();
    if (!d->zip) {
        if (!d->files.contains(key))
            fail(vb::ErrFileNotFound, name, 0, 0, {}, QStringLiteral("the feed has no such file"));
        // The same bounds as an archive's entry: a folder's file is streamed,
        // and what it holds is counted as it arrives.
        const qint64 fileBound = d->limits.bytesOf(name);
        const qint64 room = std::min(fileBound, d->limits.maxUncompressed - d->inflated);
        qint64 total = 0;
        const Chunk counted = [&](QByteArrayView c) {
            total += c.size();
            d->inflated += c.size();
            if (total > room)
                fail(vb::ErrOutOfMemory, name, 0, 0, {},
                     total > fileBound ? QStringLiteral("longer than %1 bytes; the import reads at most %1 of this file").arg(fileBound)
                                                    : QStringLiteral("past the bound of %1 bytes for the whole feed").arg(d->limits.maxUncompressed));
            chunk(c);
        };
        if (d->streamFile) {
            d->streamFile(d->files.value(key), counted);
            return;
        }
        const std::optional<QByteArray> bytes = d->readFile(d->files.value(key));
        if (!bytes)
            fail(vb::ErrPathFileAccess, name, 0, 0, {}, QStringLiteral("cannot be read"));
        for (qsizetype i = 0; i < bytes->size(); i += kChunk)
            counted(QByteArrayView(*bytes).sliced(i, std::min<qsizetype>(kChunk, bytes->size() - i)));
        return;
    }
    if (!d->entries.contains(key))
        fail(vb::ErrFileNotFound, name, 0, 0, {}, QStringLiteral("the feed has no such file"));
    const zip_uint64_t index = d->entries.value(key);
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(d->zip.get(), index, 0, &st) != 0)
        fail(vb::ErrPathFileAccess, name, 0, 0, {}, QStringLiteral("a damaged archive entry"));
    if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE)
        fail(vb::ErrPathFileAccess, name, 0, 0, {}, QStringLiteral("encrypted in the archive: publish it without a password"));
    const qint64 fileBound = d->limits.bytesOf(name);
    const qint64 room = std::min(fileBound, d->limits.maxUncompressed - d->inflated);
    if ((st.valid & ZIP_STAT_SIZE) && qint64(st.size) > room)
        fail(vb::ErrOutOfMemory, name, 0, 0, {},
             qint64(st.size) > fileBound
                 ? QStringLiteral("%1 bytes unpacked; the import reads at most %2 of this file").arg(qint64(st.size)).arg(fileBound)
                 : QStringLiteral("%1 bytes unpacked, past the bound of %2 for the whole feed").arg(qint64(st.size)).arg(d->limits.maxUncompressed));
    std::unique_ptr<zip_file_t, FileDeleter> file(zip_fopen_index(d->zip.get(), index, 0));
    if (!file) {
        const int code = zip_error_code_zip(zip_get_error(d->zip.get()));
        fail(vb::ErrPathFileAccess, name, 0, 0, {},
             code == ZIP_ER_ENCRNOTSUPP || code == ZIP_ER_NOPASSWD ? QStringLiteral("encrypted in the archive: publish it without a password")
                                                                   : QStringLiteral("cannot be unpacked (%1)").arg(QString::fromUtf8(zip_error_strerror(zip_get_error(d->zip.get())))));
    }
    // The size an entry claims is checked above; what it inflates to is
    // counted too, so a lying header cannot flood the memory or the time.
    QByteArray buf(kChunk, Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        const zip_int64_t got = zip_fread(file.get(), buf.data(), zip_uint64_t(buf.size()));
        if (got < 0)
            fail(vb::ErrPathFileAccess, name, 0, 0, {},
                 QStringLiteral("cannot be unpacked (%1)").arg(QString::fromUtf8(zip_file_strerror(file.get()))));
        if (got == 0)
            break;
        total += got;
        d->inflated += got;
        if (total > room)
            fail(vb::ErrOutOfMemory, name, 0, 0, {},
                 total > fileBound ? QStringLiteral("unpacks to more than %1 bytes; the import reads at most %1 of this file").arg(fileBound)
                                                : QStringLiteral("unpacks past the bound of %1 bytes for the whole feed").arg(d->limits.maxUncompressed));
        chunk(QByteArrayView(buf.constData(), qsizetype(got)));
    }
}

void readTable(const Feed &feed, const QString &name, const std::function<void(const CsvTable &, const CsvRecord &)> &body,
               const std::function<void(const CsvTable &)> &header)
{
    std::optional<CsvTable> table;
    const qint64 bound = feed.limits().rowsOf(name);
    qint64 rows = 0;
    CsvReader reader(name, [&](const CsvRecord &r) {
        if (!table) {
            table.emplace(name, r);
            if (header)
                header(*table);
            return;
        }
        if (++rows > bound)
            fail(vb::ErrOutOfMemory, name, r.line, 0, {}, QStringLiteral("more than %1 rows; the import reads at most %1 from this file").arg(bound));
        body(*table, r);
    });
    feed.read(name, [&](QByteArrayView c) { reader.feed(c); });
    reader.finish();
    if (!table)
        fail(vb::ErrInputPastEnd, name, 0, 0, {}, QStringLiteral("the file is empty (no header line)"));
}

} // namespace opendata
