#pragma once
// NW-7 (Codabar), the symbology of Japanese bus tickets: each character is
// four bars and three spaces, two or three of them wide; characters are
// parted by one narrow space; a symbol starts and ends with one of A-D.
#include <QByteArrayView>
#include <QList>

namespace codabar {

constexpr int kQuietNarrow = 10; // quiet zone each side, in narrow widths

// Wide element for a narrow one of n pixels: 3, 5, 8, 10 ... keeps the
// ratio within the standard's 1:2.5 to 1:3 at whole pixels.
constexpr int wideFor(int narrow) { return (5 * narrow + 1) / 2; }

// Element widths in pixels, starting with the leading quiet zone (a space)
// and then bar, space, bar ... ending with the trailing quiet zone. Empty
// when the text is not a symbol (no A-D at both ends, or a foreign character).
QList<int> elements(QByteArrayView symbol, int narrow);

// Total width in pixels, quiet zones included; 0 when not a symbol.
int width(QByteArrayView symbol, int narrow);

} // namespace codabar
