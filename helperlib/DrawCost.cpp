#include "helperlib/DrawCost.h"

#include <algorithm>
#include <cmath>

namespace plugin {

namespace {

// The drawing cost model, in nanoseconds, measured with the IPA faces at
// the worst: a glyph under 64 pixels comes from the glyph cache, a larger
// one is filled as an outline, and a dense kanji condensed to its box costs
// about 4.5 us per pixel of its height (a digit a fifth of that).
constexpr qint64 kItemNs = 5000;
constexpr qint64 kCachedGlyphPixels = 64;
constexpr qint64 kOutlineNsPerPixel = 4500, kDigitOutlineNsPerPixel = 1000;

qint64 pixels(int twips) { return (qint64(twips) + 14) / 15; }

// Filling or stroking an area: 0.15 ns a pixel.
qint64 areaNs(qint64 px) { return px * 15 / 100; }

qint64 glyphNs(qint64 px, bool digit)
{
    if (px <= kCachedGlyphPixels)
        return 400 + px * px * 2 / 5;
    return px * (digit ? kDigitOutlineNsPerPixel : kOutlineNsPerPixel);
}

} // namespace

qint64 itemCostNs(const Item &item, const Plugin &p)
{
    switch (item.kind) {
    case Kind::Text: {
        qint64 dense = 0, numeric = 0;
        qsizetype company = 0;
        for (const QString &c : p.companies)
            company = std::max(company, c.size());
        for (const Segment &s : item.segments) {
            switch (s.source) {
            case Source::Literal: dense += s.literal.size(); break;
            case Source::Number:
            case Source::Row: numeric += s.digits > 0 ? s.digits : 6; break; // -32768
            case Source::Route: numeric += s.digits > 0 ? s.digits : 11; break;
            case Source::Company: dense += company; break;
            case Source::Stop:
            case Source::Date:
            case Source::Time: dense += kMaxRuntimeChars; break;
            }
        }
        const qint64 bound = drawnCharsBound(item);
        dense = std::min(dense, bound);
        numeric = std::min(numeric, bound - dense);
        const qint64 px = pixels(item.size);
        return kItemNs + dense * glyphNs(px, false) + numeric * glyphNs(px, true);
    }
    case Kind::Line: {
        const double length = std::hypot(double(item.x2 - item.x), double(item.y2 - item.y));
        return kItemNs + areaNs(qint64(length / 15 + 1) * std::max<qint64>(1, pixels(item.pen)));
    }
    case Kind::Box: {
        const qint64 outline = item.pen > 0 ? 2 * (pixels(item.w) + pixels(item.h)) * pixels(item.pen) : 0;
        return kItemNs + areaNs((item.filled ? pixels(item.w) * pixels(item.h) : 0) + outline);
    }
    case Kind::Barcode: // the white ground, then the bars over it
        return kItemNs + areaNs(2 * pixels(item.w) * pixels(item.h));
    }
    return kItemNs;
}

qint64 paperNs(const Plugin &p) { return areaNs(pixels(p.info.PrevWidth) * pixels(p.info.PrevHeight)); }

int drawnCharsBound(const Item &item)
{
    return std::clamp(int(pixels(item.w) / kMinCharPixels), 1, kMaxDrawnChars);
}

qint64 drawCostNs(const Plugin &p)
{
    qint64 total = paperNs(p);
    for (const Item &item : p.items)
        total += itemCostNs(item, p);
    return total;
}

} // namespace plugin
