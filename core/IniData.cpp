#include "core/IniData.h"

#include "core/Cp932.h"

#include <QByteArray>
#include <QDate>
#include <QtEndian>

namespace ini {

IniData startValues()
{
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd"));
    IniData d;
#define S4_FIELD_START(field, read, type, block, control, kind, visit, start, ...) d.field = start;
    S4_SETTINGS_FIELDS(S4_FIELD_START)
#undef S4_FIELD_START
    return d;
}

namespace {

class Writer {
public:
    void operator()(const char *, const QString &s)
    {
        QByteArray b = cp932::encode(s);
        b.truncate(cp932::boundaryAtMost(b, 0xFFFF)); // the count is 16 bits; never half a character
        put<uint16_t>(uint16_t(b.size()));
        out += b;
    }
    void operator()(const char *, int16_t v) { put(v); }
    void operator()(const char *, int32_t v) { put(v); }

    template<typename T>
    void put(T v)
    {
        char le[sizeof(T)];
        qToLittleEndian(v, le);
        out.append(le, sizeof(T));
    }

    QByteArray out;
};

class Reader {
public:
    explicit Reader(QByteArrayView bytes) : m_in(bytes) {}

    void operator()(const char *, QString &s)
    {
        const auto n = qsizetype(get<uint16_t>());
        const QByteArrayView b = take(n);
        s = cp932::decode(b);
    }
    void operator()(const char *, int16_t &v) { v = get<int16_t>(); }
    void operator()(const char *, int32_t &v) { v = get<int32_t>(); }

    // Past the end every byte reads as zero.
    template<typename T>
    T get()
    {
        char raw[sizeof(T)] = {};
        const QByteArrayView b = take(sizeof(T));
        std::copy(b.begin(), b.end(), raw);
        return qFromLittleEndian<T>(raw);
    }

private:
    QByteArrayView take(qsizetype n)
    {
        const qsizetype k = std::min(n, m_in.size() - m_pos);
        const QByteArrayView b = m_in.sliced(m_pos, k);
        m_pos += k;
        return b;
    }

    QByteArrayView m_in;
    qsizetype m_pos = 0;
};

} // namespace

QByteArray writeIni(const IniData &d)
{
    Writer w;
    w.out.reserve(1024);
    visitFields(d, w);
    for (int32_t c : d.CustomColors)
        w.put(c);
    w.put<int16_t>(60);
    for (const DegitOptEntry &e : d.DegitOpt) {
        w.put(e.Shift);
        w.put(e.ZeroMode);
        w.put(e.FillZero);
    }
    return w.out;
}

IniData readIni(QByteArrayView bytes)
{
    IniData d;
    Reader r(bytes);
    visitFields(d, r);
    for (int32_t &c : d.CustomColors)
        c = r.get<int32_t>();
    (void)r.get<int16_t>(); // the stored count changes nothing
    for (DegitOptEntry &e : d.DegitOpt) {
        e.Shift = r.get<int16_t>();
        e.ZeroMode = r.get<int16_t>();
        e.FillZero = r.get<int16_t>();
    }
    return d;
}

} // namespace ini
