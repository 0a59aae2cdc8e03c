#include "panel/ChimeiCtl_A/ChimeiLayout.h"

#include "core/Cp932.h"
#include "core/FontNames.h"

#include <QHash>

#include <algorithm>

namespace chimei {

Layout layoutFor(int64_t k, int mode)
{
    // No name has fewer than no units; a negative count would overflow the height below.
    k = std::max<int64_t>(k, 0);
    switch (k) {
    case 0: return {0, 0, kStillHeight, false}; // a lone half-width character
    case 1: return {80, 0, kStillHeight, false};
    case 2: return mode == 2 ? Layout{48, 64, kStillHeight, false} : Layout{32, 96, kStillHeight, false};
    case 3: return {16, 64, kStillHeight, false};
    case 4: return {8, 48, kStillHeight, false};
    case 5: return {4, 38, kStillHeight, false};
    case 6: return {0, kUnitPixels, kStillHeight, false};
    default:
        break;
    }
    // QImage heights are int; a name that long is far beyond any board anyway.
    const int64_t height = std::min<int64_t>(k, 1 << 20) * kUnitPixels;
    return {0, kUnitPixels, int(height), true};
}

QString faceName(Face face)
{
    return face == Face::Mincho ? fonts::msMincho() : fonts::msGothic();
}

Face faceFor(unsigned code, bool wide, int fontMode)
{
    constexpr unsigned kFirstKanji = 0x889F;
    const bool lowWide = wide && code < kFirstKanji; // symbols, full-width letters and digits, kana
    switch (fontMode) {
    case 1: return Face::Mincho;
    case 2: return lowWide ? Face::Mincho : Face::Gothic;
    case 3: return lowWide ? Face::Gothic : Face::Mincho;
    case 4: return wide && code >= 0x824F && code <= 0x829A ? Face::Gothic : Face::Mincho;
    default: return Face::Gothic;
    }
}

Face faceFor(const QByteArray &printed, int fontMode)
{
    if (printed.isEmpty())
        return faceFor(0, false, fontMode);
    const auto lead = static_cast<unsigned char>(printed[0]);
    if (cp932::isLeadByte(lead) && printed.size() >= 2)
        return faceFor(lead * 256u + static_cast<unsigned char>(printed[1]), true, fontMode);
    return faceFor(lead, false, fontMode);
}

namespace {

enum class Kind { Bar, Nudged, Turned, Corner };

// Characters that are moved or turned before sampling, by their two bytes.
const QHash<QByteArray, Kind> &oddOnes()
{
    static const QHash<QByteArray, Kind> table = [] {
        QHash<QByteArray, Kind> t;
        const auto add = [&t](const QString &chars, Kind kind) {
            for (const QChar c : chars) {
                const QByteArray code = cp932::encode(QString(c));
                Q_ASSERT(code.size() == 2); // every one of them is a two-byte character
                t.insert(code, kind);
            }
        };
        add(QStringLiteral("ー"), Kind::Bar);
        add(QStringLiteral("申山"), Kind::Nudged);
        add(QStringLiteral("（）『』〔〕「」［］＜＞｛｝〈〉《》【】～＝→←⇒⇔－"), Kind::Turned);
        add(QStringLiteral("。、"), Kind::Corner);
        return t;
    }();
    return table;
}

} // namespace

UnitLook lookFor(const QByteArray &unit, int fontMode)
{
    const auto it = oddOnes().constFind(unit);
    if (it == oddOnes().constEnd())
        return {unit, {0, 0}, false};
    switch (*it) {
    case Kind::Bar: { // the long-vowel mark stands upright in vertical writing
        static const QByteArray upright = cp932::encode(QStringLiteral("丨"));
        return {upright, {0, 0}, false};
    }
    case Kind::Nudged: // one dot to the right, in font mode 0 only
        return {unit, {fontMode == 0 ? 1 : 0, 0}, false};
    case Kind::Turned:
        return {unit, {0, 0}, true};
    case Kind::Corner: // full stop and comma go to the upper right
        return {unit, {10, -10}, false};
    }
    return {unit, {0, 0}, false};
}

QString printableText(const QByteArray &printed)
{
    // A lone lead byte decodes to the replacement character; a lone trail
    // byte to a control or private-use code. None of them has a glyph.
    QString text = cp932::decode(printed);
    text.removeIf([](QChar c) {
        const auto cat = c.category();
        return c == QChar::ReplacementCharacter || cat == QChar::Other_Control || cat == QChar::Other_PrivateUse
               || cat == QChar::Other_NotAssigned;
    });
    return text;
}

} // namespace chimei
