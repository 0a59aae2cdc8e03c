#include "helperlib/TicketRenderer.h"

#include "core/FontNames.h"
#include "helperlib/Codabar.h"
#include "platform/Units.h"

#include <QDate>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QRegularExpression>

namespace plugin {

namespace {

constexpr double kTwip = 1.0 / platform::kTwipsPerPixel;

QString digits(qint64 v, int n)
{
    if (n <= 0)
        return QString::number(v);
    qint64 mod = 1;
    for (int i = 0; i < n; ++i)
        mod *= 10;
    return QStringLiteral("%1").arg(v < 0 ? 0 : v % mod, n, 10, QLatin1Char('0'));
}

// The console sends mm-dd-yyyy; a fixed date is the caption the user set,
// which may be written the other way round.
QDate parseDate(const QString &s)
{
    static const QRegularExpression mdy(QStringLiteral("^(\\d{1,2})[-/.](\\d{1,2})[-/.](\\d{4})$"));
    static const QRegularExpression ymd(QStringLiteral("^(\\d{4})[-/.年](\\d{1,2})[-/.月](\\d{1,2})日?$"));
    const QString t = s.trimmed();
    if (auto m = mdy.match(t); m.hasMatch())
        return QDate(m.captured(3).toInt(), m.captured(1).toInt(), m.captured(2).toInt());
    if (auto m = ymd.match(t); m.hasMatch())
        return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    return {};
}

QString formatDate(const QString &raw, Format f)
{
    const QDate d = parseDate(raw);
    if (f == Format::Plain || !d.isValid())
        return raw; // what cannot be read is printed as it came
    switch (f) {
    case Format::DateJa:
        return QStringLiteral("%1年%2月%3日").arg(d.year()).arg(d.month()).arg(d.day());
    case Format::DateDot:
        return QStringLiteral("%1.%2.%3").arg(d.year()).arg(d.month(), 2, 10, QLatin1Char('0')).arg(d.day(), 2, 10, QLatin1Char('0'));
    case Format::DateMd:
        return QStringLiteral("%1月%2日").arg(d.month()).arg(d.day());
    default:
        return raw;
    }
}

QString company(const Plugin &p, int index)
{
    if (p.companies.isEmpty())
        return {};
    // No choice yet: the plug-in's first name is its own company.
    return index >= 0 && index < p.companies.size() ? p.companies[index] : p.companies.front();
}

QFont fontFor(const Item &item)
{
    QFont f;
    if (item.face == Face::Mincho)
        f.setFamilies({fonts::msMincho(), QStringLiteral("IPAMincho"), QStringLiteral("Serif")});
    else
        f.setFamilies({fonts::msGothic(), QStringLiteral("IPAGothic"), QStringLiteral("Sans")});
    f.setPixelSize(std::max(1, int(item.size * kTwip + 0.5)));
    f.setBold(item.bold);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

QPen penFor(const Item &item)
{
    QPen pen(QColor::fromRgb(item.color));
    pen.setWidthF(item.pen * kTwip);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

// The first n characters, a surrogate pair kept whole or dropped.
QString cut(const QString &s, qsizetype n)
{
    if (s.size() <= n)
        return s;
    if (n > 0 && s[n - 1].isHighSurrogate())
        --n;
    return s.left(n);
}

void drawText(QPainter &painter, const Item &item, const QString &whole)
{
    const QString text = cut(whole, drawnCharsBound(item));
    if (text.isEmpty())
        return;
    const QFont font = fontFor(item);
    const QRectF box(item.x * kTwip, item.y * kTwip, item.w * kTwip, item.h * kTwip);
    const double textWidth = QFontMetricsF(font).horizontalAdvance(text);
    // A long stop name is condensed to its box, as a ticket printer does.
    const double squeeze = textWidth > box.width() && textWidth > 0 ? box.width() / textWidth : 1.0;
    const Qt::Alignment h = item.align == Align::Center ? Qt::AlignHCenter
                            : item.align == Align::Right ? Qt::AlignRight
                                                         : Qt::AlignLeft;
    painter.save();
    painter.setFont(font);
    painter.setPen(QColor::fromRgb(item.color));
    painter.translate(box.left(), 0);
    painter.scale(squeeze, 1.0);
    painter.drawText(QRectF(0, box.top(), box.width() / squeeze, box.height()), h | Qt::AlignVCenter, text);
    painter.restore();
}

// Bars on whole pixels with the widest narrow bar that fits, centred in the box.
void drawBarcode(QPainter &painter, const Item &item, const QByteArray &symbol)
{
    const QRect box = platform::twipsRect(item.x, item.y, item.w, item.h);
    int narrow = 1;
    while (narrow < 16 && codabar::width(symbol, narrow + 1) <= box.width())
        ++narrow;
    const QList<int> el = codabar::elements(symbol, narrow);
    int total = 0;
    for (int e : el)
        total += e;
    int x = box.left() + (box.width() - total) / 2;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRect(x, box.top(), total, box.height()), Qt::white);
    for (qsizetype i = 0; i < el.size(); ++i) {
        if (i % 2 == 1) // quiet zone first, then bar, space, bar ...
            painter.fillRect(QRect(x, box.top(), el[i], box.height()), Qt::black);
        x += el[i];
    }
    painter.restore();
}

} // namespace

QString expand(const QList<Segment> &segments, const Plugin &p, const TicketArgs &a)
{
    QString out;
    for (const Segment &s : segments) {
        switch (s.source) {
        case Source::Literal: out += s.literal; break;
        case Source::Number: out += digits(a.seiriNo, s.digits); break;
        case Source::Route: out += digits(a.route, s.digits); break;
        case Source::Row: out += digits(a.row, s.digits); break;
        case Source::Stop: out += a.stopName; break;
        case Source::Date: out += formatDate(a.date, s.format); break;
        case Source::Time: out += s.format == Format::TimeHm ? a.time.left(5) : a.time; break;
        case Source::Company: out += company(p, a.corpIndex); break;
        }
    }
    return out;
}

QByteArray barcodeSymbol(const Item &barcode, const Plugin &p, const TicketArgs &a)
{
    return QByteArray(1, barcode.start) + expand(barcode.segments, p, a).toLatin1() + barcode.stop;
}

void drawTicket(QPainter &painter, const Plugin &p, const TicketArgs &given)
{
    TicketArgs a = given;
    a.stopName = cut(a.stopName, kMaxRuntimeChars);
    a.date = cut(a.date, kMaxRuntimeChars);
    a.time = cut(a.time, kMaxRuntimeChars);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.fillRect(platform::twipsRect(0, 0, p.info.PrevWidth, p.info.PrevHeight), QColor::fromRgb(p.paper));
    for (const Item &item : p.items) {
        switch (item.kind) {
        case Kind::Text:
            drawText(painter, item, expand(item.segments, p, a));
            break;
        case Kind::Line:
            painter.setPen(penFor(item));
            painter.drawLine(QPointF(item.x * kTwip, item.y * kTwip), QPointF(item.x2 * kTwip, item.y2 * kTwip));
            break;
        case Kind::Box:
            painter.setPen(item.pen > 0 ? penFor(item) : QPen(Qt::NoPen));
            painter.setBrush(item.filled ? QBrush(QColor::fromRgb(item.fill)) : QBrush(Qt::NoBrush));
            painter.drawRect(QRectF(item.x * kTwip, item.y * kTwip, item.w * kTwip, item.h * kTwip));
            break;
        case Kind::Barcode:
            drawBarcode(painter, item, barcodeSymbol(item, p, a));
            break;
        }
    }
    painter.restore();
}

QImage renderTicket(const Plugin &p, const TicketArgs &a)
{
    QImage img(platform::twipsToPixels(p.info.PrevWidth), platform::twipsToPixels(p.info.PrevHeight),
               QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter painter(&img);
    drawTicket(painter, p, a);
    return img;
}

} // namespace plugin
