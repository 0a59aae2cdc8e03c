#include "ride/Ride.h"

#include "core/FileIo.h"
#include "core/VbError.h"

#include <QFileInfo>
#include <algorithm>

namespace ride {

int16_t sectionOf(const QString &digits)
{
    return int16_t(std::clamp(digits.toInt(), 1, 300));
}

Ride::Ride(QObject *parent)
    : QObject(parent), m_find([](const QString &path) { return QFileInfo(path).exists() ? path : QString(); })
{
    qRegisterMetaType<ride::BoardChange>();
}

const fare::FareRecord &Ride::current() const
{
    return m_table.row(std::clamp(m_route.CurIndex + 1, 1, fare::kRows));
}

const Cell &Ride::cell(int k) const
{
    if (k < 1 || k > kCells)
        vb::raise(vb::ErrSubscript);
    return m_cells[size_t(k)];
}

int Ride::currentValue(int column) const
{
    return column >= 1 ? current().fare(column) : 0;
}

void Ride::write(BoardChange &change, int k, const Cell &c)
{
    m_cells[size_t(k)] = c;
    change.cells.append({k, c});
}

// The position is told once a change is complete: in the middle of a load
// the route is half set.
void Ride::settle()
{
    if (m_loading)
        return;
    const int r = row();
    if (r == m_reportedRow && m_route.RouteNo == m_reportedRoute)
        return;
    m_reportedRoute = m_route.RouteNo;
    m_reportedRow = r;
    emit positionChanged(m_reportedRoute, m_reportedRow);
}

LoadResult Ride::load(const QString &routeNo, const QString &sectionDigits, const QString &fareFolder)
{
    // A mistyped route must not leave the ride half the new one's: on any
    // failure the route number, section and count are put back.
    const fare::RouteState before = m_route;
    m_route.RouteNo = routeNo;
    m_route.StartSection = sectionOf(sectionDigits);
    const QString key = fare::routeKey(routeNo);
    LoadResult result;
    m_loading = true;
    try {
        const QString path = m_find(fareFolder + key + QStringLiteral(".hy3"));
        if (path.isEmpty()) {
            result.message = QStringLiteral("指定した系統のデータがありません...");
        } else {
            // Only a regular file is opened: a device never ends, a FIFO blocks.
            const fileio::Read file = fileio::readRegular(path, kMaxFileBytes);
            if (file.error)
                vb::raise(file.error == vb::ErrFileNotFound ? int(vb::ErrPathFileAccess) : file.error);
            if (file.bytes.size() > kMaxFileBytes)
                vb::raise(vb::ErrBadFileName, QStringLiteral("運賃データの大きさが不正です。"));
            // The count and the section are judged before the records are
            // read, so a cut file names the section it cannot reach.
            m_route.DataCount = fare::readFareCount(file.bytes);
            if (m_route.DataCount == 0) {
                result.message = QStringLiteral("指定した系統はデータの数が0(未登録)の可能性があります...");
            } else if (m_route.DataCount - 1 < m_route.StartSection) {
                result.message =
                    QStringLiteral("指定した区間はデータの数よりも多いです...\r\n  解決法：正しい区間を入力して下さい.");
            } else {
                // A file cut short leaves the ride where the board shows it.
                const fare::FareFile data = fare::readFareFile(file.bytes);
                m_route.CurIndex = int16_t(m_route.StartSection - 1);
                m_table.install(data);
                BoardChange lamp;
                for (int k = 1; k <= kCells; ++k)
                    write(lamp, k, Cell{Cell::Kind::Lit, {}});
                m_stopName = QStringLiteral("系統設定");
                lamp.stopName = true;
                emit boardChanged(lamp);
                result.ok = true;
            }
        }
    } catch (...) {
        result = {false, vb::currentError().description()};
    }
    if (!result.ok)
        m_route = before;
    // A successful load is told once its first stop is shown.
    m_loading = result.ok;
    settle();
    return result;
}

void Ride::finishLoad(const QString &ticketDate)
{
    BoardChange zero;
    for (int k = 1; k <= kCells; ++k)
        write(zero, k, Cell{Cell::Kind::Value, 0});
    emit boardChanged(zero);
    if (!m_stepping) {
        m_stepping = true;
        emit steppingChanged(true);
    }
    m_route.TicketDate = ticketDate;
    show(m_route.CurIndex + 1);
    m_loading = false;
    settle();
}

void Ride::install(const fare::FareFile &file, const QString &routeNo)
{
    m_table.install(file);
    m_route.DataCount = file.DataCount;
    m_route.RouteNo = routeNo;
    settle();
}

bool Ride::step(bool forward)
{
    // The loaded rows bound the ride, whatever count a later file declared.
    const int last = std::min<int>(m_route.DataCount, m_table.loadedRows()) - 1;
    if (forward ? m_route.CurIndex >= last : m_route.CurIndex <= 0)
        return false;
    m_route.CurIndex = int16_t(m_route.CurIndex + (forward ? 1 : -1));
    emit stepped(m_route.CurIndex + 1);
    show(m_route.CurIndex + 1);
    settle();
    return true;
}

// The flag is tested even when the list could not move, so a linked last
// line keeps stepping the fares until the last stop.
bool Ride::announce(bool forward, int stepFlag)
{
    return stepFlag == 1 && step(forward);
}

void Ride::show(int row)
{
    const fare::FareRecord &r = m_table.row(row);
    BoardChange change;
    change.row = row;
    for (int c = m_route.StartSection; c <= kCells; ++c) {
        // Doubled in a wider type: a night fare above 16383 shows as the
        // number it is (the cell cuts it to its positions), never overflows.
        const int v = r.fare(c);
        write(change, c, Cell{Cell::Kind::Value, m_night && v != -1 ? 2 * v : v});
    }
    const InfoDigits info = m_info ? m_info() : InfoDigits{};
    const auto put = [&](int slot, const QVariant &value) {
        if (slot >= 1 && slot <= kCells) // no selection addresses the hidden element 0
            write(change, slot, Cell{Cell::Kind::Value, value});
    };
    put(info.stopOrderSlot, info.stopOrderFromZero ? row - 1 : row);
    put(info.seiriNumSlot, int(r.SeiriNo));
    put(info.keitoNumSlot, m_route.RouteNo);
    if (info.column >= 1 && info.column <= fare::kColumns)
        put(info.columnSlot, int(r.fare(info.column)));
    m_stopName = r.StopName;
    change.stopName = true;
    emit boardChanged(change);
}

void Ride::showStopName()
{
    m_stopName = current().StopName;
    emit boardChanged(BoardChange{{}, true, 0});
}

void Ride::setCleared(bool on)
{
    if (on == m_cleared)
        return;
    m_cleared = on;
    if (on) {
        BoardChange blank;
        m_stopName.clear();
        blank.stopName = true;
        for (int k = 1; k <= kCells; ++k)
            write(blank, k, Cell{Cell::Kind::Blank, {}});
        emit boardChanged(blank);
    }
    emit clearedChanged(on);
    if (!on)
        show(m_route.CurIndex + 1);
}

void Ride::setNight(bool on)
{
    if (on == m_night)
        return;
    m_night = on; // shown at the next redisplay
    emit nightChanged(on);
}

void Ride::setBacklight(int state)
{
    if (state < -1 || state > 2)
        vb::raise(vb::ErrSubscript);
    if (state == m_backlight)
        return;
    m_backlight = state;
    emit backlightChanged(state);
}

} // namespace ride
