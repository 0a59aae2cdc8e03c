#pragma once
// Comma-separated text as RFC 4180 writes it, read with libcsv: quoted
// fields may hold commas, doubled quotes and line breaks; CRLF or LF; a
// UTF-8 byte order mark at the start is dropped; blank lines are skipped.
// Text that is not UTF-8 but reads cleanly as code page 932 (some operators
// save Shift_JIS) is read as such and noted in the active DecodeLog, so
// fields always reach the sink as UTF-8; text that is neither is refused
// at its line.
// Text arrives in chunks (a file streamed out of an archive never sits in
// memory whole) and leaves record by record, each field with its line, so
// every complaint can name the file, the line and the column. A field or a
// record past its bound stops the read before it can fill the memory.
#include "core/VbError.h"

#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace opendata {

// A complaint about one place of one file. The description reads
// "stop_times.txt, line 12, column 4 (stop_id): ..."; line and column are 0
// where the complaint is about the whole file.
class FeedError : public vb::Error {
public:
    FeedError(int number, QString file, qint64 line, int column, QString columnName, QString message);
    QString file;
    qint64 line = 0;
    int column = 0;
    QString columnName;
    QString message;
};
[[noreturn]] void fail(int number, const QString &file, qint64 line, int column, const QString &columnName,
                       const QString &message);

struct CsvLimits {
    qsizetype maxFieldBytes = 64 * 1024;
    qsizetype maxRecordBytes = 1024 * 1024;
    int maxFields = 4096;
    bool rawBytes = false; // fields as written, the caller decoding them (no UTF-8 check)
};

// One record: fields as bytes (valid only during the callback) and the line
// each ends on.
struct CsvRecord {
    qint64 line = 0; // where the record ends
    QList<QByteArrayView> fields;
    QByteArrayView field(int i) const { return i >= 0 && i < fields.size() ? fields[i] : QByteArrayView(); }
};

class CsvReader {
public:
    using Sink = std::function<void(const CsvRecord &)>;
    CsvReader(QString fileName, Sink sink, CsvLimits limits = {});
    ~CsvReader();
    CsvReader(const CsvReader &) = delete;
    CsvReader &operator=(const CsvReader &) = delete;

    void feed(QByteArrayView chunk); // any split, even inside a character
    void finish();                   // a quote left open is an error here

    const QString &fileName() const { return m_file; }
    struct State;

private:
    QString m_file;
    std::unique_ptr<State> d;
};

// A header-led table: columns are found by name in any order, unknown
// columns are ignored, a missing required one is an error naming it.
class CsvTable {
public:
    CsvTable(QString fileName, const CsvRecord &header);
    int column(const char *name) const;             // -1 when absent
    int required(const char *name) const;           // error 62 when absent
    bool has(const char *name) const { return column(name) >= 0; }
    const QString &fileName() const { return m_file; }
    QString nameOf(int column) const { return m_names.value(column); }

    // Field text of a record, trimmed; empty for an absent column.
    static QString text(const CsvRecord &r, int column);
    // An error at a field of a record.
    [[noreturn]] void failAt(const CsvRecord &r, int column, const QString &message, int number = vb::ErrInputPastEnd) const;

private:
    QString m_file;
    QList<QString> m_names;
    QHash<QString, int> m_index;
};

// While one lives, the files its thread's readers took as code page 932
// instead of UTF-8, in the order they were read (each once).
class DecodeLog {
public:
    DecodeLog();
    ~DecodeLog();
    DecodeLog(const DecodeLog &) = delete;
    DecodeLog &operator=(const DecodeLog &) = delete;
    QStringList cp932Files;

private:
    DecodeLog *m_outer;
};

// Reads all records of bytes held whole; the first is the header when the
// caller treats it so.
void readCsv(const QString &fileName, QByteArrayView bytes, const CsvReader::Sink &sink, CsvLimits limits = {});

} // namespace opendata
