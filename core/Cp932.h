#pragma once
// Text in files and across the helper library is code page 932 (the Windows
// form of Shift-JIS, where 0x8160 is U+FF5E). Inside the program it is Unicode.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <algorithm>

namespace cp932 {

// Replaces the characters that look the same to a user but that code page 932
// holds under another code point (WAVE DASH, MINUS SIGN, EM DASH, YEN SIGN...).
QString premap(const QString &text);

// Unicode to code page 932. Characters it cannot hold become '?', as the
// Windows converter writes them, never a broken byte pair.
QByteArray encode(const QString &text);

// Code page 932 to Unicode, as Windows reads it. Bytes 00-7F are ASCII, 80 is
// U+0080 and A0, FD, FE, FF are U+F8F0 to U+F8F3, so every single byte comes
// back from encode() as it was. A cut character (a lead byte without a trail
// it can take) and an unassigned two-byte code become U+FFFD; nothing is
// dropped silently.
QString decode(QByteArrayView bytes);

// A zero-terminated code page 932 text from a C interface; null reads as empty.
inline QString decodeC(const char *text)
{
    return text ? decode(QByteArrayView(text)) : QString();
}

// True for the bytes that open a two-byte character.
constexpr bool isLeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// The longest start of bytes, at most maxBytes long, that ends on a
// character boundary: a two-byte character is kept whole or left out.
inline qsizetype boundaryAtMost(QByteArrayView bytes, qsizetype maxBytes)
{
    qsizetype i = 0;
    while (i < bytes.size()) {
        const qsizetype len = isLeadByte(static_cast<unsigned char>(bytes[i])) ? 2 : 1;
        if (i + len > maxBytes)
            break;
        i += len;
    }
    return std::min(i, bytes.size());
}

} // namespace cp932
