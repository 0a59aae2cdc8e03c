#include "helperlib/Plugin4sp.h"

#include "core/Cp932.h"
#include "core/VbError.h"
#include "helperlib/Codabar.h"
#include "helperlib/DrawCost.h"

#include <QStringDecoder>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace plugin {

namespace {

[[noreturn]] void fail(int number, int line, const QString &what)
{
    vb::raise(number, QStringLiteral("プラグイン %1 行目: %2").arg(line).arg(what));
}

// UTF-8 when the bytes are valid UTF-8 (a byte-order mark is skipped),
// otherwise code page 932, so a file saved by either kind of editor reads.
QString decodeText(QByteArrayView bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    return cp932::decode(bytes);
}

struct Token {
    QString key;   // empty for a lone quoted text or a bare word
    QString value;
    bool quoted = false;
};

// Words separated by blanks; key=value; "text" with "" standing for one quote.
QList<Token> tokenize(const QString &line, int lineNo)
{
    QList<Token> out;
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (i < n) {
        while (i < n && line[i].isSpace())
            ++i;
        if (i >= n)
            break;
        Token t;
        QString word;
        while (i < n && !line[i].isSpace() && line[i] != u'"' && line[i] != u'=')
            word += line[i++];
        if (i < n && line[i] == u'=') {
            t.key = word.toLower();
            ++i;
            word.clear();
        }
        if (i < n && line[i] == u'"') {
            ++i;
            t.quoted = true;
            bool closed = false;
            while (i < n) {
                if (line[i] == u'"') {
                    if (i + 1 < n && line[i + 1] == u'"') {
                        word += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                word += line[i++];
            }
            if (!closed)
                fail(vb::ErrTypeMismatch, lineNo, QStringLiteral("引用符が閉じていません"));
            if (i < n && !line[i].isSpace())
                fail(vb::ErrTypeMismatch, lineNo, QStringLiteral("引用符の後に空白がありません"));
        } else {
            while (i < n && !line[i].isSpace()) {
                if (line[i] == u'"' || line[i] == u'=')
                    fail(vb::ErrTypeMismatch, lineNo, QStringLiteral("書式が正しくありません"));
                word += line[i++];
            }
        }
        t.value = word;
        out.append(t);
    }
    return out;
}

int parseInt(const QString &s, int lo, int hi, int lineNo, const QString &name)
{
    bool ok = false;
    const qlonglong v = s.toLongLong(&ok, 10);
    if (!ok)
        fail(vb::ErrTypeMismatch, lineNo, QStringLiteral("%1 が整数ではありません").arg(name));
    if (v < lo || v > hi)
        fail(vb::ErrInvalidPropertyValue, lineNo, QStringLiteral("%1 が範囲外です").arg(name));
    return int(v);
}

Rgb parseColor(const QString &s, int lineNo)
{
    if (s.size() != 7 || s[0] != u'#')
        fail(vb::ErrTypeMismatch, lineNo, QStringLiteral("色は #RRGGBB で書きます"));
    bool ok = false;
    const uint v = s.mid(1).toUInt(&ok, 16);
    if (!ok)
        fail(vb::ErrTypeMismatch, lineNo, QStringLiteral("色は #RRGGBB で書きます"));
    return 0xFF000000u | v;
}

constexpr const char *kCodabarData = "0123456789-$:/.+";

bool isCodabarStartStop(QChar c) { return c >= u'A' && c <= u'D'; }
bool isCodabarData(QChar c) { return c.unicode() < 128 && c.unicode() && std::strchr(kCodabarData, char(c.unicode())); }

struct NameSource {
    const char *name;
    Source source;
};
constexpr std::array<NameSource, 7> kSources{{{"number", Source::Number},
                                             {"stop", Source::Stop},
                                             {"date", Source::Date},
                                             {"time", Source::Time},
                                             {"route", Source::Route},
                                             {"company", Source::Company},
                                             {"row", Source::Row}}};

bool isNumeric(Source s) { return s == Source::Number || s == Source::Route || s == Source::Row; }

Segment placeholder(const QString &body, int lineNo)
{
    const qsizetype colon = body.indexOf(u':');
    const QString name = colon < 0 ? body : body.left(colon);
    const QString fmt = colon < 0 ? QString() : body.mid(colon + 1);
    Segment seg;
    bool known = false;
    for (const NameSource &ns : kSources)
        if (name == QLatin1String(ns.name)) {
            seg.source = ns.source;
            known = true;
        }
    if (!known)
        fail(vb::ErrTypeMismatch, lineNo, QStringLiteral("{%1} は差し込めません").arg(body));
    if (fmt.isEmpty())
        return seg;
    if (isNumeric(seg.source)) {
        seg.format = Format::Digits;
        seg.digits = parseInt(fmt, 1, 9, lineNo, QStringLiteral("桁数"));
    } else if (seg.source == Source::Date && fmt == QLatin1String("ja")) {
        seg.format = Format::DateJa;
    } else if (seg.source == Source::Date && fmt == QLatin1String("dot")) {
        seg.format = Format::DateDot;
    } else if (seg.source == Source::Date && fmt == QLatin1String("md")) {
        seg.format = Format::DateMd;
    } else if (seg.source == Source::Time && fmt == QLatin1String("hm")) {
        seg.format = Format::TimeHm;
    } else {
        fail(vb::ErrTypeMismatch, lineNo, QStringLiteral("{%1} の書式が不明です").arg(body));
    }
    return seg;
}

// "整理券 {number}" into literal and placeholder segments; "{{" is a brace.
QList<Segment> parseTemplate(const QString &text, int lineNo)
{
    QList<Segment> out;
    QString lit;
    const auto flush = [&] {
        if (!lit.isEmpty())
            out.append(Segment{Source::Literal, Format::Plain, 0, lit});
        lit.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'{' && i + 1 < text.size() && text[i + 1] == u'{') {
            lit += u'{';
            ++i;
        } else if (text[i] == u'{') {
            const qsizetype end = text.indexOf(u'}', i);
            if (end < 0)
                fail(vb::ErrTypeMismatch, lineNo, QStringLiteral("{ が閉じていません"));
            flush();
            out.append(placeholder(text.mid(i + 1, end - i - 1), lineNo));
            i = end;
        } else {
            lit += text[i];
        }
    }
    flush();
    return out;
}

// Barcode data: a start character, data characters and numeric placeholders
// of a fixed digit count (so the symbol's length is known here), a stop
// character. The width check lets the narrowest bar be one whole pixel.
void parseBarcode(Item &item, const QString &data, int lineNo)
{
    if (data.size() < 2 || !isCodabarStartStop(data.front()) || !isCodabarStartStop(data.back()))
        fail(vb::ErrTypeMismatch, lineNo, QStringLiteral("バーコードは A～D で始まり A～D で終わります"));
    item.start = char(data.front().unicode());
    item.stop = char(data.back().unicode());
    item.segments = parseTemplate(data.mid(1, data.size() - 2), lineNo);
    int chars = 2;
    for (const Segment &s : item.segments) {
        if (s.source == Source::Literal) {
            for (QChar c : s.literal)
                if (!isCodabarData(c))
                    fail(vb::ErrTypeMismatch, lineNo, QStringLiteral("バーコードに使えない文字があります"));
            chars += int(s.literal.size());
        } else {
            if (s.format != Format::Digits)
                fail(vb::ErrTypeMismatch, lineNo, QStringLiteral("バーコードの差し込みは桁数付きの数だけです"));
            chars += s.digits;
        }
        if (chars > kMaxBarcodeChars)
            fail(vb::ErrSubscript, lineNo, QStringLiteral("バーコードが長すぎます"));
    }
}

// Every digit is as wide as every other, so zeros stand in for the numbers.
QByteArray widthProbe(const Item &barcode)
{
    QByteArray s(1, barcode.start);
    for (const Segment &seg : barcode.segments)
        s += seg.source == Source::Literal ? seg.literal.toLatin1() : QByteArray(seg.digits, '0');
    return s + barcode.stop;
}

enum class Section { None, Info, Notes, Companies, Ticket };

struct InfoKey {
    const char *name;
    int32_t kxp4::PlgInfo::*field;
};
constexpr std::array<InfoKey, 14> kInfoKeys{{
    {"Reserved1", &kxp4::PlgInfo::Reserved1},
    {"PrevWidth", &kxp4::PlgInfo::PrevWidth},
    {"PrevHeight", &kxp4::PlgInfo::PrevHeight},
    {"CanDate", &kxp4::PlgInfo::CanDate},
    {"CanTime", &kxp4::PlgInfo::CanTime},
    {"CanKeitoNo", &kxp4::PlgInfo::CanKeitoNo},
    {"CanChimei", &kxp4::PlgInfo::CanChimei},
    {"CanBarcode", &kxp4::PlgInfo::CanBarcode},
    {"BarcodeCount", &kxp4::PlgInfo::BarcodeCount},
    {"KeitoMax", &kxp4::PlgInfo::KeitoMax},
    {"BarcodeKeitoMode", &kxp4::PlgInfo::BarcodeKeitoMode},
    {"StopRangeFrom", &kxp4::PlgInfo::StopRangeFrom},
    {"StopRangeTo", &kxp4::PlgInfo::StopRangeTo},
    {"CorpSwitch", &kxp4::PlgInfo::CorpSwitch},
}};

void readInfo(Plugin &p, const QString &line, int lineNo)
{
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0)
        fail(vb::ErrTypeMismatch, lineNo, QStringLiteral("名前 = 値 の形ではありません"));
    const QString key = line.left(eq).trimmed();
    const QString value = line.mid(eq + 1).trimmed();
    for (const InfoKey &k : kInfoKeys)
        if (key == QLatin1String(k.name)) {
            p.info.*k.field = parseInt(value, INT32_MIN, INT32_MAX, lineNo, key);
            return;
        }
    fail(vb::ErrTypeMismatch, lineNo, QStringLiteral("%1 は知らない項目です").arg(key));
}

Item readItem(const QList<Token> &tokens, int lineNo)
{
    Item item;
    const QString kind = tokens.front().value.toLower();
    if (!tokens.front().key.isEmpty() || tokens.front().quoted)
        fail(vb::ErrTypeMismatch, lineNo, QStringLiteral("行は描くものの名前で始まります"));
    if (kind == QLatin1String("text"))
        item.kind = Kind::Text;
    else if (kind == QLatin1String("line"))
        item.kind = Kind::Line;
    else if (kind == QLatin1String("box"))
        item.kind = Kind::Box;
    else if (kind == QLatin1String("barcode"))
        item.kind = Kind::Barcode;
    else
        fail(vb::ErrTypeMismatch, lineNo, QStringLiteral("%1 は描けません").arg(kind));

    bool haveText = false, haveW = false, haveH = false, haveSize = false;
    for (qsizetype i = 1; i < tokens.size(); ++i) {
        const Token &t = tokens[i];
        const QString &v = t.value;
        const auto coord = [&](int lo) { return parseInt(v, lo, kMaxCoordTwips, lineNo, t.key); };
        if (t.key.isEmpty() && t.quoted && item.kind == Kind::Text && !haveText) {
            if (v.size() > kMaxTextChars)
                fail(vb::ErrSubscript, lineNo, QStringLiteral("文字列が長すぎます"));
            item.segments = parseTemplate(v, lineNo);
            haveText = true;
        } else if (t.key.isEmpty() && !t.quoted && v == QLatin1String("bold") && item.kind == Kind::Text) {
            item.bold = true;
        } else if (t.key == QLatin1String("x") || t.key == QLatin1String("x1")) {
            item.x = coord(0);
        } else if (t.key == QLatin1String("y") || t.key == QLatin1String("y1")) {
            item.y = coord(0);
        } else if (t.key == QLatin1String("x2") && item.kind == Kind::Line) {
            item.x2 = coord(0);
        } else if (t.key == QLatin1String("y2") && item.kind == Kind::Line) {
            item.y2 = coord(0);
        } else if (t.key == QLatin1String("w") && item.kind != Kind::Line) {
            item.w = coord(1);
            haveW = true;
        } else if (t.key == QLatin1String("h") && item.kind != Kind::Line) {
            item.h = coord(1);
            haveH = true;
        } else if (t.key == QLatin1String("size") && item.kind == Kind::Text) {
            item.size = parseInt(v, kMinFontTwips, kMaxFontTwips, lineNo, t.key);
            haveSize = true;
        } else if (t.key == QLatin1String("pen") && (item.kind == Kind::Line || item.kind == Kind::Box)) {
            item.pen = parseInt(v, 0, kMaxPenTwips, lineNo, t.key);
        } else if (t.key == QLatin1String("color") && item.kind != Kind::Barcode) {
            item.color = parseColor(v, lineNo);
        } else if (t.key == QLatin1String("fill") && item.kind == Kind::Box) {
            item.fill = parseColor(v, lineNo);
            item.filled = true;
        } else if (t.key == QLatin1String("font") && item.kind == Kind::Text) {
            if (v == QLatin1String("gothic"))
                item.face = Face::Gothic;
            else if (v == QLatin1String("mincho"))
                item.face = Face::Mincho;
            else
                fail(vb::ErrTypeMismatch, lineNo, QStringLiteral("書体は gothic か mincho です"));
        } else if (t.key == QLatin1String("align") && item.kind == Kind::Text) {
            if (v == QLatin1String("left"))
                item.align = Align::Left;
            else if (v == QLatin1String("center"))
                item.align = Align::Center;
            else if (v == QLatin1String("right"))
                item.align = Align::Right;
            else
                fail(vb::ErrTypeMismatch, lineNo, QStringLiteral("align は left, center, right です"));
        } else if (t.key == QLatin1String("data") && item.kind == Kind::Barcode && !haveText) {
            parseBarcode(item, v, lineNo);
            haveText = true;
        } else {
            fail(vb::ErrTypeMismatch, lineNo,
                 QStringLiteral("%1 は %2 に書けません").arg(t.key.isEmpty() ? v : t.key, kind));
        }
    }
    switch (item.kind) {
    case Kind::Text:
        if (!haveText || !haveW || !haveSize)
            fail(vb::ErrTypeMismatch, lineNo, QStringLiteral("text には w, size と文字列が要ります"));
        item.h = haveH ? item.h : item.size;
        break;
    case Kind::Box:
        if (!haveW || !haveH)
            fail(vb::ErrTypeMismatch, lineNo, QStringLiteral("box には w と h が要ります"));
        break;
    case Kind::Barcode:
        if (!haveText || !haveW || !haveH)
            fail(vb::ErrTypeMismatch, lineNo, QStringLiteral("barcode には w, h と data が要ります"));
        if (item.h < kMinBarHeightTwips)
            fail(vb::ErrInvalidPropertyValue, lineNo, QStringLiteral("バーコードが低すぎます"));
        break;
    case Kind::Line:
        break;
    }
    return item;
}

} // namespace

Plugin readPlugin(QByteArrayView bytes)
{
    if (bytes.size() > kMaxFileBytes)
        vb::raise(vb::ErrOutOfMemory, QStringLiteral("プラグインが大きすぎます"));
    const QString text = decodeText(bytes);
    const QStringList lines = text.split(u'\n');

    Plugin p;
    Section section = Section::None;
    bool haveHeader = false;
    QStringList notes;
    QList<int> itemLines;
    int lineNo = 0;
    for (QString line : lines) {
        ++lineNo;
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.size() > kMaxLineChars)
            fail(vb::ErrSubscript, lineNo, QStringLiteral("行が長すぎます"));
        const QString trimmed = line.trimmed();
        if (section == Section::Notes && !trimmed.startsWith(u'[')) {
            if (notes.size() >= kMaxNoteLines)
                fail(vb::ErrSubscript, lineNo, QStringLiteral("説明が長すぎます"));
            notes.append(line.trimmed());
            continue;
        }
        if (trimmed.isEmpty() || trimmed.startsWith(u'#'))
            continue;
        if (!haveHeader) {
            const QStringList words = trimmed.split(u' ', Qt::SkipEmptyParts);
            if (words.size() != 2 || words[0] != QLatin1String("4SP"))
                fail(vb::ErrTypeMismatch, lineNo, QStringLiteral("整理券プラグインではありません"));
            p.version = parseInt(words[1], 1, 1, lineNo, QStringLiteral("版"));
            haveHeader = true;
            continue;
        }
        if (trimmed.startsWith(u'[')) {
            if (trimmed == QLatin1String("[info]"))
                section = Section::Info;
            else if (trimmed == QLatin1String("[notes]"))
                section = Section::Notes;
            else if (trimmed == QLatin1String("[companies]"))
                section = Section::Companies;
            else if (trimmed == QLatin1String("[ticket]"))
                section = Section::Ticket;
            else
                fail(vb::ErrTypeMismatch, lineNo, QStringLiteral("%1 は知らない節です").arg(trimmed));
            continue;
        }
        switch (section) {
        case Section::None:
        case Section::Notes:
            fail(vb::ErrTypeMismatch, lineNo, QStringLiteral("節の外に書かれています"));
        case Section::Info:
            readInfo(p, trimmed, lineNo);
            break;
        case Section::Companies:
            if (p.companies.size() >= kMaxCompanies)
                fail(vb::ErrSubscript, lineNo, QStringLiteral("社名が多すぎます"));
            if (trimmed.size() > kMaxCompanyChars)
                fail(vb::ErrSubscript, lineNo, QStringLiteral("社名が長すぎます"));
            p.companies.append(trimmed);
            break;
        case Section::Ticket: {
            if (trimmed.startsWith(QLatin1String("paper"))) {
                const qsizetype eq = trimmed.indexOf(u'=');
                if (eq < 0 || trimmed.left(eq).trimmed() != QLatin1String("paper"))
                    fail(vb::ErrTypeMismatch, lineNo, QStringLiteral("paper = #RRGGBB と書きます"));
                p.paper = parseColor(trimmed.mid(eq + 1).trimmed(), lineNo);
                break;
            }
            if (p.items.size() >= kMaxItems)
                fail(vb::ErrSubscript, lineNo, QStringLiteral("描くものが多すぎます"));
            p.items.append(readItem(tokenize(trimmed, lineNo), lineNo));
            itemLines.append(lineNo);
            break;
        }
        }
    }
    if (!haveHeader)
        fail(vb::ErrTypeMismatch, lineNo, QStringLiteral("整理券プラグインではありません"));
    if (p.info.PrevWidth < kMinTicketTwips || p.info.PrevWidth > kMaxTicketTwips
        || p.info.PrevHeight < kMinTicketTwips || p.info.PrevHeight > kMaxTicketTwips)
        fail(vb::ErrInvalidPropertyValue, lineNo, QStringLiteral("券の大きさ PrevWidth, PrevHeight が範囲外です"));
    for (const Item &item : p.items)
        if (item.kind == Kind::Barcode && codabar::width(widthProbe(item), 1) * 15 > item.w)
            fail(vb::ErrInvalidPropertyValue, lineNo, QStringLiteral("バーコードが枠に収まりません"));
    // Named at the item that takes the drawing over its bound.
    qint64 cost = paperNs(p);
    for (qsizetype i = 0; i < p.items.size(); ++i) {
        cost += itemCostNs(p.items[i], p);
        if (cost > kMaxDrawCostNs)
            fail(vb::ErrSubscript, itemLines[i], QStringLiteral("描く量が多すぎます（大きな文字、長い文字列、広い塗りを減らしてください）"));
    }
    while (!notes.isEmpty() && notes.back().isEmpty())
        notes.removeLast();
    while (!notes.isEmpty() && notes.front().isEmpty())
        notes.removeFirst();
    p.notes = notes.join(u'\n');
    return p;
}

} // namespace plugin
