#pragma once
// Route data as a spreadsheet writes it: one stop a line, its name, its
// ticket number, then the value columns 1..150 (empty cells read as 0).
// Pure: readers take bytes and return a value or raise a numbered error
// whose description names the line and the column of the bad cell.
#include "ride/FareData.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

namespace routecsv {

enum class Encoding { Utf8Bom, Utf8, Cp932 };

// UTF-8 when the bytes open with a BOM or are valid UTF-8, else code
// page 932 (what Japanese spreadsheets write by default).
Encoding detectEncoding(QByteArrayView bytes);
QString decodeText(QByteArrayView bytes, Encoding encoding);

struct Field {
    QString text;
    int line = 0;   // 1-based, where the field starts
    int column = 0; // 1-based
};
using Row = QList<Field>;

// Comma-separated records; a quoted field may hold commas, doubled quotes
// and line breaks. A quote left open is error 62 at the line it opens.
QList<Row> splitCsv(const QString &text);

// "column 5 (E)": the number and the spreadsheet's letters.
QString columnName(int column);

// Every bad cell is reported with its place: a number that is not whole or
// does not fit 16 bits (error 6 / 13), a name code page 932 cannot write
// (error 5), a fare past column 150 or a stop past 301 (error 9), no stop
// at all (error 62). Lines whose cells are all empty are skipped.
QList<fare::FareRecord> readRouteCsv(QByteArrayView bytes);

// One line a record, trailing zero columns left empty, CRLF line ends.
QByteArray writeRouteCsv(const QList<fare::FareRecord> &records, Encoding encoding = Encoding::Utf8Bom);

// The announcement list as the program reads it: code page 932, one entry
// a line (blank lines too), text, step flag, sound flag; a quoted text may
// hold commas; a missing or non-numeric flag reads 0.
struct TapeEntry {
    QString text;
    int16_t stepFlag = 0;
    int16_t soundFlag = 0;
};
struct TapeCheck {
    QList<TapeEntry> entries;
    QStringList warnings; // "line 3, column 2: ..." for what reads other than it looks
};
TapeCheck checkTapeCsv(QByteArrayView bytes);

// A list written in UTF-8 (with or without BOM) or code page 932, as code
// page 932 with CRLF line ends, line for line. A character code page 932
// cannot write is error 5 with its line.
QByteArray convertTapeCsv(QByteArrayView bytes);

} // namespace routecsv
