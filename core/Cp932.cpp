#include "core/Cp932.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace cp932 {

namespace {
constexpr const char *kCodec = "windows-31j";
}

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
    QStringEncoder enc(kCodec);
    QByteArray raw = enc.encode(premap(text));
    // The converter marks what it cannot write with the invalid pair FC FC.
    // Walk the bytes as characters so that a trail byte FC is never mistaken.
    QByteArray out;
    out.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const auto b = static_cast<unsigned char>(raw[i]);
        if (isLeadByte(b) && i + 1 < raw.size()) {
            const auto t = static_cast<unsigned char>(raw[i + 1]);
            if (b == 0xFC && t == 0xFC) {
                out.append('?');
            } else {
                out.append(raw[i]);
                out.append(raw[i + 1]);
            }
            ++i;
        } else {
            out.append(raw[i]);
        }
    }
    return out;
}

QString decode(QByteArrayView bytes)
{
    // The converter holds back a lead byte at the end, waiting for its trail,
    // and would drop it; find it by walking the characters and mark it.
    qsizetype i = 0;
    bool cutAtEnd = false;
    while (i < bytes.size()) {
        if (isLeadByte(static_cast<unsigned char>(bytes[i]))) {
            if (i + 1 == bytes.size()) {
                cutAtEnd = true;
                break;
            }
            i += 2;
        } else {
            ++i;
        }
    }
    QStringDecoder dec(kCodec, QStringConverter::Flag::Stateless);
    QString out = dec.decode(cutAtEnd ? bytes.first(bytes.size() - 1) : bytes);
    if (cutAtEnd)
        out.append(QChar(QChar::ReplacementCharacter));
    return out;
}

} // namespace cp932
