#include "ride/FareData.h"

#include "core/Cp932.h"
#include "core/VbError.h"

#include <QtEndian>
#include <algorithm>
#include <cmath>

namespace fare {

namespace {

class Cursor {
public:
    explicit Cursor(QByteArrayView bytes) : m_bytes(bytes) {}

    QByteArrayView take(qsizetype n)
    {
        if (n > m_bytes.size() - m_pos)
            vb::raise(vb::ErrInputPastEnd);
        const QByteArrayView v = m_bytes.sliced(m_pos, n);
        m_pos += n;
        return v;
    }
    uint16_t u16() { return qFromLittleEndian<uint16_t>(take(2).data()); }
    int16_t i16() { return qFromLittleEndian<int16_t>(take(2).data()); }

private:
    QByteArrayView m_bytes;
    qsizetype m_pos = 0;
};

int16_t toInt16(const QVariant &value)
{
    bool ok = false;
    const double d = value.toDouble(&ok);
    if (!ok)
        vb::raise(vb::ErrTypeMismatch);
    const double r = std::nearbyint(d); // banker's rounding, as the table's integer cells take it
    if (!(r >= INT16_MIN && r <= INT16_MAX))
        vb::raise(vb::ErrOverflow);
    return int16_t(r);
}

} // namespace

int16_t FareRecord::fare(int column) const
{
    if (column < 1 || column > kColumns)
        vb::raise(vb::ErrSubscript);
    return Fare[size_t(column - 1)];
}

int16_t readFareCount(QByteArrayView bytes)
{
    return Cursor(bytes).i16();
}

FareFile readFareFile(QByteArrayView bytes)
{
    Cursor in(bytes);
    FareFile file;
    file.DataCount = in.i16();
    const int wanted = std::clamp<int>(file.DataCount, 0, kRows + 1);
    file.records.reserve(wanted);
    for (int i = 0; i < wanted; ++i) {
        FareRecord r;
        const uint16_t nameBytes = in.u16();
        r.StopName = cp932::decode(in.take(nameBytes));
        r.SeiriNo = in.i16();
        for (int16_t &v : r.Fare)
            v = in.i16();
        file.records.append(std::move(r));
    }
    return file;
}

QByteArray writeFareFile(const QList<FareRecord> &records)
{
    if (records.size() > INT16_MAX)
        vb::raise(vb::ErrOverflow);
    QByteArray out;
    out.reserve(2 + records.size() * (kRecordFixedBytes + 16));
    auto put = [&out](uint16_t v) {
        char le[2];
        qToLittleEndian<uint16_t>(v, le);
        out.append(le, 2);
    };
    put(uint16_t(records.size()));
    for (const FareRecord &r : records) {
        const QByteArray name = cp932::encode(r.StopName);
        if (name.size() > UINT16_MAX)
            vb::raise(vb::ErrOverflow);
        put(uint16_t(name.size()));
        out += name;
        put(uint16_t(r.SeiriNo));
        for (int16_t v : r.Fare)
            put(uint16_t(v));
    }
    return out;
}

FareTable::FareTable() = default;

void FareTable::SetFareCell(int row, int column, const QVariant &value)
{
    if (row < 1 || row > kRows || column < 1 || column > kColumns + 2)
        vb::raise(vb::ErrSubscript);
    FareRecord &r = m_rows[size_t(row - 1)];
    if (column == 1)
        r.StopName = value.toString();
    else if (column == 2)
        r.SeiriNo = toInt16(value);
    else
        r.Fare[size_t(column - 3)] = toInt16(value);
}

void FareTable::ClearFareTable()
{
    m_rows.fill(FareRecord{});
    m_loadedRows = 0;
}

const FareRecord &FareTable::row(int row) const
{
    if (row < 1 || row > kRows)
        vb::raise(vb::ErrSubscript);
    return m_rows[size_t(row - 1)];
}

void FareTable::install(const FareFile &file)
{
    ClearFareTable();
    for (int i = 1; i <= file.records.size(); ++i) {
        const FareRecord &r = file.records[i - 1];
        if (i > kRows)
            vb::raise(vb::ErrSubscript);
        // Whole records at a time: a row counts as loaded once it is stored.
        m_rows[size_t(i - 1)] = r;
        m_loadedRows = i;
    }
}

QString routeKey(const QString &routeNo)
{
    // Read as far as the text is a number, as the digit inputs produce it.
    const QString t = routeNo.trimmed();
    qsizetype n = 0;
    if (n < t.size() && (t[n] == u'+' || t[n] == u'-'))
        ++n;
    while (n < t.size() && t[n].isDigit() && t[n].unicode() < 0x80)
        ++n;
    bool ok = false;
    const double value = t.left(n).toDouble(&ok);
    if (!ok || value == 0)
        return QStringLiteral("0");
    return QString::number(value, 'f', 0);
}

} // namespace fare
