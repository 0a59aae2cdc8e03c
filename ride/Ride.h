#pragma once
// The ride: the loaded route and where the bus stands on it, and what the
// board shows for that stop. The console owns one and is its view and its
// controller; the panel shows its cells and stop name; the bus object and
// 自動送り watch its signals. Everything the checks of a route load, a step
// and a redisplay decide is decided here; the console plays the sounds,
// shows the boxes and lets the lamp test burn.
//
// Each signal is emitted once per change, after the change is complete, in
// the order the changes happen.
#include "ride/FareData.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>
#include <array>
#include <functional>

namespace ride {

constexpr int kCells = 60; // panel positions 1..60

// What one fare cell is told to show: a value, every segment off, or every
// segment lit (the lamp test).
struct Cell {
    enum class Kind : uint8_t { Value, Blank, Lit };
    Kind kind = Kind::Value;
    QVariant value; // Kind::Value: a number, or text shown as it is
    bool operator==(const Cell &o) const { return kind == o.kind && value == o.value; }
};

// The information digits as the options choose them, read at every
// redisplay. A slot is a panel position 1..60; 0 (no selection) writes
// nothing.
struct InfoDigits {
    int stopOrderSlot = 0;
    bool stopOrderFromZero = false;
    int seiriNumSlot = 0;
    int keitoNumSlot = 0;
    int columnSlot = 0;
    int column = 0; // 1..150
};

// One change of the board: the cells written, in the order they were
// written (a later write to a cell wins, and a cell an information digit
// overwrites is written twice, as the board draws it), and whether the
// stop name was set.
// `row` is the stop a redisplay showed (then the ticket preview is drawn
// for it), 0 for any other change.
struct CellWrite {
    int cell = 0; // 1..60
    Cell to;
};
struct BoardChange {
    QList<CellWrite> cells;
    bool stopName = false;
    int row = 0;
};

// What a route load ended in: ok, or the text of the box the console shows.
struct LoadResult {
    bool ok = false;
    QString message;
};

// The section as the digits give it: 0 becomes 1, 301 and more 300.
int16_t sectionOf(const QString &digits);

class Ride : public QObject {
    Q_OBJECT
public:
    // The existing file a path names, or empty (the platform's search).
    using FindFile = std::function<QString(const QString &path)>;
    using ReadInfo = std::function<InfoDigits()>;

    // A fare file holds at most 301 records of a few hundred bytes; more
    // than this is not a fare file, and is not read into memory.
    static constexpr qint64 kMaxFileBytes = qint64(16) << 20;

    explicit Ride(QObject *parent = nullptr);

    void setFindFile(FindFile find) { m_find = std::move(find); }
    void setInfoDigits(ReadInfo read) { m_info = std::move(read); }

    const fare::FareTable &table() const { return m_table; }
    const fare::RouteState &route() const { return m_route; }
    // The row the board stands at (CurIndex + 1), 0 before any route.
    int row() const { return m_table.loadedRows() > 0 ? m_route.CurIndex + 1 : 0; }
    // The record of that row (an empty one before any route).
    const fare::FareRecord &current() const;
    // A route has been shown: stepping and the display clear are possible.
    bool stepping() const { return m_stepping; }
    bool cleared() const { return m_cleared; }
    bool night() const { return m_night; }
    int backlight() const { return m_backlight; } // 0 OFF, 1 ON1, 2 ON2; -1 none chosen yet
    const Cell &cell(int k) const;                // 1..60
    const QString &stopName() const { return m_stopName; }

    // A step's selector: the value of a column (1..150) of the current row,
    // 0 for a column below 1.
    int currentValue(int column) const;

    // The route load up to the lamp test: the section, the count and
    // section checks in their order, the table. On success the board shows
    // "系統設定" with every segment lit, and finishLoad must follow once the
    // lamp test has burnt. A rejected load leaves the ride as it was: the
    // table, the board, the route number, the section and the count.
    LoadResult load(const QString &routeNo, const QString &sectionDigits, const QString &fareFolder);
    // Every cell 0, stepping possible, the ticket date kept, the first stop shown.
    void finishLoad(const QString &ticketDate);

    // One stop on or back within the loaded rows; false at either end (then
    // nothing happens). The new row is announced by `stepped` before the
    // board shows it.
    bool step(bool forward);
    // After an announcement line: its step flag 1 steps the same way.
    bool announce(bool forward, int stepFlag);
    // The board shows row: fares from the start section, doubled at night,
    // then the information digits, then the stop name.
    void show(int row);
    // The current stop's name again (after the options dialog closed).
    void showStopName();

    void setCleared(bool on);
    void setNight(bool on);
    void setBacklight(int state); // -1: the buttons were all cleared
    void setTicketDate(const QString &date) { m_route.TicketDate = date; }

    // The table filled without a file or a lamp test (the benchmark).
    void install(const fare::FareFile &file, const QString &routeNo);

signals:
    // The route number or the row the board stands at changed.
    void positionChanged(const QString &route, int row);
    void stepped(int row);
    void boardChanged(const ride::BoardChange &change);
    void steppingChanged(bool on);
    void clearedChanged(bool on);
    void nightChanged(bool on);
    void backlightChanged(int state);

private:
    void write(BoardChange &change, int k, const Cell &c);
    void settle();

    fare::FareTable m_table;
    fare::RouteState m_route;
    std::array<Cell, kCells + 1> m_cells; // element 0 is never shown
    QString m_stopName;
    bool m_stepping = false, m_cleared = false, m_night = false;
    int m_backlight = -1;
    bool m_loading = false;
    QString m_reportedRoute;
    int m_reportedRow = 0;
    FindFile m_find;
    ReadInfo m_info;
};

} // namespace ride

Q_DECLARE_METATYPE(ride::BoardChange)
