#pragma once
// A route's fare data: the .hy3 file format and the route fare table the
// console steps through. No file I/O here: the reader takes the file's bytes.
//
// File (little-endian, no padding): int16 count N, then N records of
//   uint16 L, L bytes of stop name (code page 932), int16 ticket number,
//   150 x int16 value columns.
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QVariant>
#include <array>
#include <cstdint>

namespace fare {

constexpr int kRows = 301;    // a start section is at most 300
constexpr int kColumns = 150; // value columns 1..150; 1..60 feed the panel positions
constexpr int kRecordFixedBytes = 2 + 2 + 2 * kColumns;

struct FareRecord {
    QString StopName;
    int16_t SeiriNo = 0;
    std::array<int16_t, kColumns> Fare{}; // Fare[c - 1] holds column c

    int16_t fare(int column) const; // column 1..150, else error 9
};

struct FareFile {
    int16_t DataCount = 0;      // as the file declares it, even when it is absurd
    QList<FareRecord> records; // min(DataCount, kRows + 1) records, never more
};

// The count a file declares, read before anything else is checked. Fewer
// than two bytes is error 62.
int16_t readFareCount(QByteArrayView bytes);

// Reads a whole file. A count of 0 or below yields no records (the loader
// rejects it by its own rules). Past kRows + 1 records nothing more is read:
// the table refuses row 302 anyway. Data that ends before the records it
// declares is error 62, so a cut file never installs half a route.
FareFile readFareFile(QByteArrayView bytes);

// The bytes of a file holding the records, the count their number. Names
// are written as code page 932 does (what it cannot hold becomes '?'); a
// caller that must not lose a character checks first. More records than
// 16 bits can count, or a name over 65535 bytes, is error 6.
QByteArray writeFareFile(const QList<FareRecord> &records);

class FareTable {
public:
    FareTable();

    // Column 1 = StopName, 2 = SeiriNo, 3..152 = Fare column - 2. A row
    // outside 1..301 or a column outside 1..152 is error 9; a value that
    // does not fit 16 bits is error 6.
    void SetFareCell(int row, int column, const QVariant &value);
    void ClearFareTable();

    const FareRecord &row(int row) const; // 1..301, else error 9

    // Rows stored by the last install: stepping never goes beyond them,
    // whatever count a later, rejected file declared.
    int loadedRows() const { return m_loadedRows; }

    // Clears the table and stores every record, row by row. A file of more
    // than 301 records fails with error 9 at row 302, rows 1..301 stored.
    void install(const FareFile &file);

private:
    std::array<FareRecord, kRows> m_rows;
    int m_loadedRows = 0;
};

// The route's state as the console keeps it beside the table.
struct RouteState {
    int16_t DataCount = 0;    // stored before the file is validated
    int16_t StartSection = 1; // 1..300
    int16_t CurIndex = 0;     // zero-based current row
    QString RouteNo;          // as entered, leading zeros kept
    QString TicketDate;
};

// The file name part of a route number: its numeric value in decimal
// ("00012" gives "12", "" gives "0"), read as far as it is numeric.
QString routeKey(const QString &routeNo);

} // namespace fare
