#pragma once
// The rules that turn a stop name into 16 x 16 dot cells, kept apart from the
// widget so they can be checked without drawing. A unit is two bytes of the
// name's code page 932 form: one full-width character or two half-width ones.
#include <QByteArray>
#include <QPoint>
#include <QString>
#include <cstdint>

namespace chimei {

constexpr int kStripWidth = 37;
constexpr int kStillHeight = 192; // six units of 32 pixels
constexpr int kUnitPixels = 32;   // 16 dots at a pitch of 2
constexpr int kLongUnits = 7;     // from here on the name scrolls

// Where the units of a name with k units go on the strip.
struct Layout {
    int top = 0;    // y of the first unit's top
    int step = 0;   // from one unit's top to the next
    int height = kStillHeight;
    bool scrolls = false;
};
Layout layoutFor(int64_t k, int mode);

enum class Face { Gothic, Mincho };
// The face names the board was designed with; the font substitution set up at
// start resolves them to the installed Japanese faces.
QString faceName(Face face);

// The face for a unit, decided by the first character of what is printed:
// `code` is lead * 256 + trail for a two-byte character (`wide`), else the byte.
Face faceFor(unsigned code, bool wide, int fontMode);
Face faceFor(const QByteArray &printed, int fontMode);

// How one unit is printed into the work surface.
struct UnitLook {
    QByteArray printed;  // code page 932 bytes of what to print
    QPoint offset;       // top-left corner of the text in the work surface
    bool transposed = false;
};
UnitLook lookFor(const QByteArray &unit, int fontMode);

// The printable text of a unit's bytes. Half a two-byte character has no
// shape of its own, so it prints as nothing rather than as a stand-in glyph.
QString printableText(const QByteArray &printed);

} // namespace chimei
