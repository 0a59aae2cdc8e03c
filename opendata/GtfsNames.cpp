// Readings of stop names, the board's and the announcements' names, and the
// announcements' wording by the vehicle.
#include "opendata/GtfsParts.h"

#include "core/Cp932.h"

namespace opendata {
namespace gtfs {


bool isKanaReading(const QString &lang) { return lang.compare(QLatin1String("ja-Hrkt"), Qt::CaseInsensitive) == 0; }


Readings readReadings(const Feed &feed)
{
    Readings out;
    if (!feed.has(kTranslations))
        return out;
    bool old = false;
    int cTrans = -1, cLang = -1, cText = -1, cTable = -1, cField = -1, cRecord = -1, cValue = -1;
    readTable(
        feed, kTranslations,
        [&](const CsvTable &, const CsvRecord &r) {
            if (!isKanaReading(CsvTable::text(r, cLang)))
                return;
            const QString reading = CsvTable::text(r, cText);
            if (reading.isEmpty())
                return;
            if (old) {
                out.byName.insert(CsvTable::text(r, cTrans), reading);
                return;
            }
            if (CsvTable::text(r, cTable) != QLatin1String("stops") || CsvTable::text(r, cField) != QLatin1String("stop_name"))
                return;
            const QString id = CsvTable::text(r, cRecord), value = CsvTable::text(r, cValue);
            if (!id.isEmpty())
                out.byId.insert(id, reading);
            else if (!value.isEmpty())
                out.byName.insert(value, reading);
        },
        [&](const CsvTable &t) {
            old = t.has("trans_id");
            if (old) {
                cTrans = t.required("trans_id");
                cLang = t.required("lang");
                cText = t.required("translation");
                return;
            }
            cTable = t.required("table_name");
            cField = t.required("field_name");
            cLang = t.required("language");
            cText = t.required("translation");
            cRecord = t.column("record_id");
            cValue = t.column("field_value");
        });
    return out;
}

QString readingOf(const Readings &rd, const Model &m, int stop)
{
    const Stop &s = m.stops[size_t(stop)];
    const Stop *parent = s.parent >= 0 ? &m.stops[size_t(s.parent)] : nullptr;
    for (const QString &id : {s.id, parent ? parent->id : QString()})
        if (!id.isEmpty() && rd.byId.contains(id))
            return rd.byId.value(id);
    return rd.byName.value(stopName(m, stop));
}

QString tapeText(const QString &text)
{
    // The list's reader takes a quoted text with commas; a quote inside it
    // would end the field, so it is written full-width.
    QString t = text;
    t.replace(u'"', u'”');
    return QStringLiteral("\"%1\"").arg(t);
}

Vehicle vehicleOf(int type)
{
    const auto in = [type](int from, int to) { return type >= from && type <= to; };
    const QString ride = QStringLiteral("ご乗車ありがとうございます。"), rode = QStringLiteral("ご乗車ありがとうございました。");
    if (type == 4 || in(1000, 1299))
        return {QStringLiteral("この船は"), QStringLiteral("ご乗船ありがとうございます。"), QStringLiteral("ご乗船ありがとうございました。")};
    if (type == 2 || in(100, 199))
        return {QStringLiteral("この列車は"), ride, rode};
    if (type == 0 || type == 1 || type == 5 || type == 12 || in(400, 499) || in(900, 999))
        return {QStringLiteral("この電車は"), ride, rode};
    if (type == 6 || in(1300, 1399))
        return {QStringLiteral("このロープウェイは"), ride, rode};
    if (type == 7 || in(1400, 1499))
        return {QStringLiteral("このケーブルカーは"), ride, rode};
    return {QStringLiteral("このバスは"), ride, rode};
}

// "…行きです" said of a headsign, which often ends in 行 or 行き itself;
// a loop says its name alone.
QString boundFor(const QString &headsign)
{
    const QString h = headsign.trimmed();
    for (const char16_t *end : {u"行き", u"ゆき", u"循環", u"回り", u"まわり"})
        if (h.endsWith(QStringView(end)))
            return h;
    if (h.endsWith(u'行'))
        return h + u'き';
    return h + QStringLiteral("行き");
}

} // namespace gtfs

QString spokenName(const QString &name)
{
    QString out;
    const QString mapped = cp932::premap(name);
    for (qsizetype i = 0; i < mapped.size(); ++i) {
        const bool pair = mapped[i].isHighSurrogate() && i + 1 < mapped.size();
        const QString ch = mapped.mid(i, pair ? 2 : 1);
        if (pair)
            ++i;
        const QByteArray enc = cp932::encode(ch);
        out += (enc == "?" && ch != u"?") || ch.front().category() == QChar::Other_Control ? QStringLiteral("〓") : ch;
    }
    return out.trimmed();
}

QString boardName(const QString &name, QString *warning)
{
    return boardName(name, warning, nullptr);
}

QString boardName(const QString &name, QString *warning, QString *japanese)
{
    const QString spoken = spokenName(name);
    const QByteArray enc = cp932::encode(spoken);
    QString out = spoken;
    QStringList why, whyJa;
    if (spoken != name.trimmed() && spoken != cp932::premap(name.trimmed())) {
        why << QStringLiteral("characters code page 932 lacks became 〓");
        whyJa << QStringLiteral("コードページ932にない文字を〓にしました");
    }
    if (enc.size() > kMaxNameBytes) {
        out = cp932::decode(QByteArrayView(enc).first(cp932::boundaryAtMost(enc, kMaxNameBytes)));
        why << QStringLiteral("cut to the %1 bytes the strip takes").arg(kMaxNameBytes);
        whyJa << QStringLiteral("表示器に入る%1バイトまでに切りました").arg(kMaxNameBytes);
    }
    if (warning)
        *warning = why.isEmpty() ? QString() : QStringLiteral("\"%1\" → \"%2\": %3").arg(name, out, why.join(QStringLiteral("; ")));
    if (japanese)
        *japanese = whyJa.isEmpty() ? QString() : QStringLiteral("「%1」→「%2」: %3").arg(name, out, whyJa.join(u'、'));
    return out;
}

QByteArray stopsHeader() { return "seq,stop_id,name,lat,lon,arrival,departure\r\n"; }

} // namespace opendata
