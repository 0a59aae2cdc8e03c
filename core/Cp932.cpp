#include "core/Cp932.h"

#include <QHash>
#include <QStringDecoder>

#include <array>

namespace cp932 {

namespace {

// Single bytes are mapped here, not by the converter: it swaps the control
// codes 1A, 1C and 7F and turns 80, A0 and FD-FF into U+001A, so those bytes
// would not come back from a round trip. Windows maps them one to one.
constexpr char16_t kByte80 = 0x0080;
constexpr char16_t kByteA0 = 0xF8F0; // FD, FE, FF follow: U+F8F1 to U+F8F3
constexpr char16_t kKanaFirst = 0xFF61; // A1 to DF: half-width katakana

constexpr int kTrails = 188; // 40-7E and 80-FC
constexpr int kPairs = 60 * kTrails;

int pairIndex(unsigned char lead, unsigned char trail)
{
    if (trail < 0x40 || trail == 0x7F || trail > 0xFC)
        return -1;
    const int row = lead <= 0x9F ? lead - 0x81 : lead - 0xE0 + 31;
    return row * kTrails + (trail < 0x7F ? trail - 0x40 : trail - 0x41);
}

// The two-byte characters, read once from the converter; the user-defined
// area F040-F9FC goes to the private use area as on Windows.
struct Tables {
    std::array<char16_t, kPairs> toUnicode{};
    QHash<char16_t, quint16> fromUnicode;
};

const Tables &tables()
{
    static const Tables t = [] {
        Tables t;
        QStringDecoder dec("windows-31j", QStringConverter::Flag::Stateless);
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            if (!isLeadByte(static_cast<unsigned char>(lead)))
                continue;
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                const int i = pairIndex(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail));
                if (i < 0)
                    continue;
                char16_t c = 0xFFFD;
                if (lead >= 0xF0 && lead <= 0xF9) {
                    c = char16_t(0xE000 + (lead - 0xF0) * kTrails + i % kTrails);
                } else {
                    const char pair[2] = {char(lead), char(trail)};
                    const QString u = dec.decode(QByteArrayView(pair, 2));
                    if (u.size() == 1 && !u[0].isSurrogate())
                        c = u[0].unicode();
                }
                t.toUnicode[size_t(i)] = c;
                if (c == 0xFFFD)
                    continue;
                // Several codes share a character; Windows writes the first,
                // except that the IBM rows (FA-FC) win over their NEC-selected
                // copies (ED, EE).
                const auto code = quint16(lead << 8 | trail);
                const auto it = t.fromUnicode.find(c);
                if (it == t.fromUnicode.end())
                    t.fromUnicode.insert(c, code);
                else if (*it >= 0xED40 && *it <= 0xEEFC && code >= 0xFA40)
                    *it = code;
            }
        }
        return t;
    }();
    return t;
}

} // namespace

QString premap(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        switch (c.unicode()) {
        case 0x301C: c = QChar(0xFF5E); break; // WAVE DASH -> FULLWIDTH TILDE
        case 0x2212: c = QChar(0xFF0D); break; // MINUS SIGN -> FULLWIDTH HYPHEN-MINUS
        case 0x2014: c = QChar(0x2015); break; // EM DASH -> HORIZONTAL BAR
        case 0x2016: c = QChar(0x2225); break; // DOUBLE VERTICAL LINE -> PARALLEL TO
        case 0x00A2: c = QChar(0xFFE0); break; // CENT SIGN
        case 0x00A3: c = QChar(0xFFE1); break; // POUND SIGN
        case 0x00AC: c = QChar(0xFFE2); break; // NOT SIGN
        case 0x00A5: c = QLatin1Char('\\'); break; // YEN SIGN is the backslash byte
        case 0x203E: c = QLatin1Char('~'); break;  // OVERLINE is the tilde byte
        default: break;
        }
    }
    return out;
}

QByteArray encode(const QString &text)
{
    const QString mapped = premap(text);
    const Tables &t = tables();
    QByteArray out;
    out.reserve(mapped.size() * 2);
    for (qsizetype i = 0; i < mapped.size(); ++i) {
        const char16_t c = mapped[i].unicode();
        if (c <= kByte80) {
            out.append(char(c));
        } else if (c >= kByteA0 && c <= kByteA0 + 3) {
            out.append(char(c == kByteA0 ? 0xA0 : 0xFD + (c - kByteA0 - 1)));
        } else if (c >= kKanaFirst && c <= kKanaFirst + (0xDF - 0xA1)) {
            out.append(char(0xA1 + (c - kKanaFirst)));
        } else if (const auto it = t.fromUnicode.constFind(c); it != t.fromUnicode.constEnd()) {
            out.append(char(*it >> 8));
            out.append(char(*it & 0xFF));
        } else {
            // What code page 932 cannot hold is written as '?', one per
            // character (a surrogate pair is one character).
            if (QChar::isHighSurrogate(c) && i + 1 < mapped.size() && mapped[i + 1].isLowSurrogate())
                ++i;
            out.append('?');
        }
    }
    return out;
}

QString decode(QByteArrayView bytes)
{
    const Tables &t = tables();
    QString out;
    out.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b <= 0x80) {
            out.append(QChar(b));
        } else if (b == 0xA0 || b >= 0xFD) {
            out.append(QChar(b == 0xA0 ? kByteA0 : char16_t(kByteA0 + 1 + (b - 0xFD))));
        } else if (b >= 0xA1 && b <= 0xDF) {
            out.append(QChar(char16_t(kKanaFirst + (b - 0xA1))));
        } else {
            // A lead byte. Cut off at the end, or followed by a byte that
            // cannot be its trail, it stands alone as U+FFFD; the next byte
            // is then read on its own.
            const int pair = i + 1 < bytes.size() ? pairIndex(b, static_cast<unsigned char>(bytes[i + 1])) : -1;
            if (pair < 0) {
                out.append(QChar(QChar::ReplacementCharacter));
            } else {
                out.append(QChar(t.toUnicode[size_t(pair)]));
                ++i;
            }
        }
    }
    return out;
}

} // namespace cp932
