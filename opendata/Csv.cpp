#include "opendata/Csv.h"

#include <csv.h>

#include <cstring>
#include <exception>
#include <string>
#include <vector>

namespace opendata {

namespace {

QString describe(const QString &file, qint64 line, int column, const QString &columnName, const QString &message)
{
    QString where = file;
    if (line > 0)
        where += QStringLiteral(", line %1").arg(line);
    if (column > 0)
        where += columnName.isEmpty() ? QStringLiteral(", column %1").arg(column)
                                      : QStringLiteral(", column %1 (%2)").arg(column).arg(columnName);
    return where + QStringLiteral(": ") + message;
}

// Pieces handed to libcsv at once: the bound on how far a field can grow
// past its limit before it is seen.
constexpr qsizetype kPiece = 16 * 1024;

} // namespace

FeedError::FeedError(int number, QString f, qint64 l, int c, QString cn, QString m)
    : vb::Error(number, describe(f, l, c, cn, m)), file(std::move(f)), line(l), column(c), columnName(std::move(cn)),
      message(std::move(m))
{
}

void fail(int number, const QString &file, qint64 line, int column, const QString &columnName, const QString &message)
{
    throw FeedError(number, file, line, column, columnName, message);
}

struct CsvReader::State {
    csv_parser parser{};
    CsvLimits limits;
    Sink sink;
    QString file;
    qint64 line = 1;    // the line being fed
    bool started = false;
    QByteArray head;    // the first bytes, until the byte order mark is decided
    std::string record; // the fields of the record being read, back to back
    std::vector<qsizetype> ends;
    CsvRecord out;
    std::exception_ptr error;

    // libcsv is C: nothing may unwind through it, so a failure is kept
    // and thrown once the parser has returned.
    static void onField(void *s, size_t len, void *data)
    {
        auto *st = static_cast<State *>(data);
        if (st->error)
            return;
        try {
            if (qsizetype(st->record.size() + len) > st->limits.maxRecordBytes)
                fail(vb::ErrOutOfMemory, st->file, st->line, int(st->ends.size()) + 1, {},
                     QStringLiteral("the record is longer than %1 bytes").arg(st->limits.maxRecordBytes));
            if (qsizetype(st->ends.size()) >= st->limits.maxFields)
                fail(vb::ErrOutOfMemory, st->file, st->line, int(st->ends.size()) + 1, {},
                     QStringLiteral("more than %1 fields in one record").arg(st->limits.maxFields));
            st->record.append(static_cast<const char *>(s), len);
            st->ends.push_back(qsizetype(st->record.size()));
        } catch (...) {
            st->error = std::current_exception();
        }
    }
    static void onRecord(int, void *data)
    {
        auto *st = static_cast<State *>(data);
        if (st->error)
            return;
        try {
            st->out.line = st->line;
            // Sized once and filled in place: this runs for every row of a million.
            st->out.fields.resize(qsizetype(st->ends.size()));
            QByteArrayView *out = st->out.fields.data();
            qsizetype from = 0;
            for (qsizetype e : std::as_const(st->ends)) {
                *out++ = QByteArrayView(st->record.data() + from, e - from);
                from = e;
            }
            if (!st->ends.empty())
                st->sink(st->out);
            st->record.clear(); // keeps its capacity for the next record
            st->ends.clear();
        } catch (...) {
            st->error = std::current_exception();
        }
    }

    void rethrow()
    {
        if (error) {
            std::exception_ptr e = error;
            error = nullptr;
            std::rethrow_exception(e);
        }
    }

    void parse(const char *p, qsizetype n)
    {
        const size_t done = csv_parse(&parser, p, size_t(n), onField, onRecord, this);
        rethrow();
        if (done != size_t(n))
            fail(vb::ErrOutOfMemory, file, line, 0, {}, QString::fromUtf8(csv_strerror(csv_error(&parser))));
        if (qsizetype(parser.entry_pos) > limits.maxFieldBytes)
            fail(vb::ErrOutOfMemory, file, line, int(ends.size()) + 1, {},
                 QStringLiteral("a field longer than %1 bytes").arg(limits.maxFieldBytes));
    }

    // Line by line, so every record knows the line it ends on.
    void feedBody(const char *p, qsizetype n)
    {
        while (n > 0) {
            const qsizetype limit = std::min(n, kPiece);
            const void *nl = std::memchr(p, '\n', size_t(limit));
            const qsizetype len = nl ? static_cast<const char *>(nl) - p + 1 : limit;
            parse(p, len);
            if (nl)
                ++line;
            p += len;
            n -= len;
        }
    }
};

CsvReader::CsvReader(QString fileName, Sink sink, CsvLimits limits) : m_file(std::move(fileName)), d(new State)
{
    d->limits = limits;
    d->sink = std::move(sink);
    d->file = m_file;
    if (csv_init(&d->parser, CSV_STRICT_FINI) != 0)
        throw vb::Error(vb::ErrOutOfMemory);
}

CsvReader::~CsvReader() { csv_free(&d->parser); }

void CsvReader::feed(QByteArrayView chunk)
{
    if (!d->started) {
        d->head.append(chunk.data(), chunk.size());
        if (d->head.size() < 3 && QByteArrayView("\xEF\xBB\xBF").startsWith(d->head))
            return; // a byte order mark may still be arriving
        d->started = true;
        const QByteArray h = std::exchange(d->head, {});
        const qsizetype skip = h.startsWith("\xEF\xBB\xBF") ? 3 : 0;
        d->feedBody(h.constData() + skip, h.size() - skip);
        return;
    }
    d->feedBody(chunk.data(), chunk.size());
}

void CsvReader::finish()
{
    if (!d->started) {
        d->started = true;
        const QByteArray h = std::exchange(d->head, {});
        if (!QByteArrayView("\xEF\xBB\xBF").startsWith(h))
            d->feedBody(h.constData(), h.size());
    }
    // libcsv's own check of an open quote needs its strict mode, which also
    // refuses the stray quotes real feeds carry; its state tells as much.
    constexpr int kFieldBegun = 2;
    if (d->parser.quoted && d->parser.pstate == kFieldBegun)
        fail(vb::ErrInputPastEnd, m_file, d->line, 0, {}, QStringLiteral("a quoted field is never closed"));
    const int r = csv_fini(&d->parser, State::onField, State::onRecord, d.get());
    d->rethrow();
    if (r != 0)
        fail(vb::ErrInputPastEnd, m_file, d->line, 0, {}, QStringLiteral("a quoted field is never closed"));
}

void readCsv(const QString &fileName, QByteArrayView bytes, const CsvReader::Sink &sink, CsvLimits limits)
{
    CsvReader r(fileName, sink, limits);
    r.feed(bytes);
    r.finish();
}

CsvTable::CsvTable(QString fileName, const CsvRecord &header) : m_file(std::move(fileName))
{
    for (int i = 0; i < header.fields.size(); ++i) {
        const QString name = QString::fromUtf8(header.fields[i]).trimmed().toLower();
        m_names.append(name);
        if (!name.isEmpty() && !m_index.contains(name))
            m_index.insert(name, i);
    }
}

int CsvTable::column(const char *name) const { return m_index.value(QString::fromLatin1(name), -1); }

int CsvTable::required(const char *name) const
{
    const int c = column(name);
    if (c < 0)
        fail(vb::ErrInputPastEnd, m_file, 1, 0, {}, QStringLiteral("the column %1 is missing").arg(QLatin1String(name)));
    return c;
}

QString CsvTable::text(const CsvRecord &r, int column)
{
    return column < 0 ? QString() : QString::fromUtf8(r.field(column)).trimmed();
}

void CsvTable::failAt(const CsvRecord &r, int column, const QString &message, int number) const
{
    fail(number, m_file, r.line, column + 1, nameOf(column), message);
}

} // namespace opendata
