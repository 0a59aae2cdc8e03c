#include "opendata/Csv.h"

#include "core/Cp932.h"

#include <csv.h>

#include <algorithm>
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

// How far text that is valid UTF-8 so far is held back while it might yet
// turn out to be code page 932 (which writes two-byte characters that can
// pass for UTF-8 a few at a time, never for long).
constexpr qsizetype kHold = 64 * 1024;

// Where the ASCII run from `from` ends: eight bytes at a time, as most of a
// feed (stop_times.txt above all) is ASCII.
qsizetype asciiEnd(const char *p, qsizetype from, qsizetype n)
{
    qsizetype i = from;
    for (; i + 8 <= n; i += 8) {
        quint64 w;
        std::memcpy(&w, p + i, 8);
        if (w & 0x8080808080808080ULL)
            break;
    }
    while (i < n && static_cast<unsigned char>(p[i]) < 0x80)
        ++i;
    return i;
}

qint64 linesIn(const char *p, qsizetype n) { return std::count(p, p + n, '\n'); }

// The UTF-8 check, carried across chunks: the first byte that breaks it.
struct Utf8Check {
    int need = 0; // continuation bytes still due
    unsigned char lo = 0x80, hi = 0xBF;
    bool wideLead = false; // the character being read has three or four bytes
    bool wide = false;     // such a character was read whole

    // Index of the first bad byte or -1.
    qsizetype scan(const char *p, qsizetype n)
    {
        for (qsizetype i = 0; i < n; ++i) {
            const auto b = static_cast<unsigned char>(p[i]);
            if (need) {
                if (b < lo || b > hi)
                    return i;
                if (--need == 0 && wideLead)
                    wide = true;
                lo = 0x80, hi = 0xBF;
            } else if (b < 0x80) {
                i = asciiEnd(p, i, n) - 1;
            } else if (b >= 0xC2 && b <= 0xDF) {
                need = 1;
                wideLead = false;
            } else if (b >= 0xE0 && b <= 0xEF) { // no overlong form, no surrogate
                need = 2;
                wideLead = true;
                lo = b == 0xE0 ? 0xA0 : 0x80;
                hi = b == 0xED ? 0x9F : 0xBF;
            } else if (b >= 0xF0 && b <= 0xF4) {
                need = 3;
                wideLead = true;
                lo = b == 0xF0 ? 0x90 : 0x80;
                hi = b == 0xF4 ? 0x8F : 0xBF;
            } else {
                return i;
            }
        }
        return -1;
    }
};

thread_local DecodeLog *tDecodeLog = nullptr;

} // namespace

DecodeLog::DecodeLog() : m_outer(tDecodeLog) { tDecodeLog = this; }
DecodeLog::~DecodeLog() { tDecodeLog = m_outer; }

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
    bool bom = false;   // the file says it is UTF-8
    QByteArray head;    // the first bytes, until the byte order mark is decided
    qint64 quoteLine = 0; // where the quoted field still open began
    // The text's encoding: ASCII so far, held (valid UTF-8 since its first
    // other byte, not yet decided), UTF-8 or code page 932. Shift_JIS text
    // breaks UTF-8 at once, almost always at its first character.
    enum class Text { Ascii, Held, Utf8, Cp932 } text = Text::Ascii;
    Utf8Check utf8;
    QByteArray held;
    QByteArray lead;     // code page 932: a lead byte waiting for its trail
    qint64 decodeLine = 1;
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
            if (qsizetype(len) > st->limits.maxFieldBytes)
                fail(vb::ErrOutOfMemory, st->file, st->line, int(st->ends.size()) + 1, {},
                     QStringLiteral("a field longer than %1 bytes").arg(st->limits.maxFieldBytes));
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

    bool quoteOpen() const
    {
        // libcsv's state while inside a quoted field.
        constexpr int kFieldBegun = 2;
        return parser.quoted && parser.pstate == kFieldBegun;
    }

    void parse(const char *p, qsizetype n)
    {
        const bool wasOpen = quoteOpen();
        const size_t done = csv_parse(&parser, p, size_t(n), onField, onRecord, this);
        rethrow();
        if (done != size_t(n))
            fail(vb::ErrOutOfMemory, file, line, 0, {}, QString::fromUtf8(csv_strerror(csv_error(&parser))));
        if (qsizetype(parser.entry_pos) > limits.maxFieldBytes)
            fail(vb::ErrOutOfMemory, file, line, int(ends.size()) + 1, {},
                 QStringLiteral("a field longer than %1 bytes").arg(limits.maxFieldBytes));
        if (!wasOpen && quoteOpen())
            quoteLine = line;
    }

    [[noreturn]] void notUtf8(qint64 at, bool cp932Too) const
    {
        fail(vb::ErrInputPastEnd, file, at, 0, {},
             cp932Too ? QStringLiteral("the text is not UTF-8 (nor Shift_JIS, code page 932): save the file as UTF-8")
                      : QStringLiteral("the text is not UTF-8: save the file as UTF-8"));
    }

    // The bytes after the byte order mark, whatever their encoding.
    void take(const char *p, qsizetype n)
    {
        if (limits.rawBytes) {
            feedBody(p, n);
            return;
        }
        if (text == Text::Cp932) {
            decode(p, n);
            return;
        }
        if (text == Text::Ascii) {
            // What is ASCII reads the same in either encoding: it goes on at once.
            const qsizetype k = asciiEnd(p, 0, n);
            feedBody(p, k);
            if (k == n)
                return;
            p += k, n -= k;
            text = bom ? Text::Utf8 : Text::Held;
        }
        // Lines are counted only for a complaint: what came before is fed.
        const qsizetype bad = utf8.scan(p, n);
        if (text == Text::Utf8) {
            if (bad >= 0)
                notUtf8(line + linesIn(p, bad), false);
            feedBody(p, n);
            return;
        }
        // UTF-8 for too long, or with a character code page 932 would hardly
        // make by chance (Japanese takes three bytes in UTF-8): a broken
        // UTF-8 file, not a Shift_JIS one.
        if (bad >= 0 && (held.size() + bad > kHold || utf8.wide))
            notUtf8(line + linesIn(held.constData(), held.size()) + linesIn(p, bad), false);
        held.append(p, n);
        if (bad >= 0)
            toCp932();
        else if (held.size() > kHold)
            toUtf8();
    }

    void toUtf8()
    {
        text = Text::Utf8;
        const QByteArray h = std::exchange(held, {});
        feedBody(h.constData(), h.size());
    }

    void toCp932()
    {
        text = Text::Cp932;
        if (tDecodeLog && !tDecodeLog->cp932Files.contains(file))
            tDecodeLog->cp932Files.append(file);
        decodeLine = line;
        const QByteArray h = std::exchange(held, {});
        decode(h.constData(), h.size());
    }

    // Code page 932 to UTF-8 for the parser; a byte it cannot read cleanly
    // (a lead without its trail, an unassigned code, a byte that is no
    // character) refuses the file at its line.
    void decode(const char *p, qsizetype n)
    {
        QByteArray bytes = std::exchange(lead, {});
        bytes.append(p, n);
        qsizetype i = 0;
        while (i < bytes.size()) {
            if (!cp932::isLeadByte(static_cast<unsigned char>(bytes[i])))
                ++i;
            else if (i + 1 < bytes.size())
                i += 2;
            else
                break;
        }
        lead = bytes.sliced(i);
        const QString t = cp932::decode(QByteArrayView(bytes).first(i));
        for (QChar c : t) {
            if (c == u'\n')
                ++decodeLine;
            else if (c == QChar::ReplacementCharacter || c.unicode() == 0x80 || (c.unicode() >= 0xF8F0 && c.unicode() <= 0xF8F3))
                notUtf8(decodeLine, true);
        }
        const QByteArray u = t.toUtf8();
        feedBody(u.constData(), u.size());
    }

    void end()
    {
        if (text == Text::Held)
            utf8.need ? toCp932() : toUtf8();
        if (text == Text::Utf8 && utf8.need)
            notUtf8(line, false);
        if (text == Text::Cp932 && !lead.isEmpty())
            notUtf8(decodeLine, true);
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
        d->bom = h.startsWith("\xEF\xBB\xBF");
        const qsizetype skip = d->bom ? 3 : 0;
        d->take(h.constData() + skip, h.size() - skip);
        return;
    }
    d->take(chunk.data(), chunk.size());
}

void CsvReader::finish()
{
    if (!d->started) {
        d->started = true;
        const QByteArray h = std::exchange(d->head, {});
        if (!QByteArrayView("\xEF\xBB\xBF").startsWith(h))
            d->take(h.constData(), h.size());
    }
    d->end();
    // libcsv's own check of an open quote needs its strict mode, which also
    // refuses the stray quotes real feeds carry; its state tells as much.
    // The complaint names the line where the quote opened.
    if (d->quoteOpen())
        fail(vb::ErrInputPastEnd, m_file, d->quoteLine, 0, {}, QStringLiteral("a quoted field is never closed"));
    const int r = csv_fini(&d->parser, State::onField, State::onRecord, d.get());
    d->rethrow();
    if (r != 0)
        fail(vb::ErrInputPastEnd, m_file, d->quoteLine, 0, {}, QStringLiteral("a quoted field is never closed"));
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
