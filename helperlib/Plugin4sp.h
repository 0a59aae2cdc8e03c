#pragma once
// A ticket plug-in (.4SP): a declarative text file that describes what a
// ticket machine prints. The reader takes the file's bytes and returns the
// plug-in or raises a numbered error; nothing in a file is ever run.
// The format is described in docs/plugin-format.md.
#include "core/PlgInfo.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace plugin {

using Rgb = uint32_t; // 0xAARRGGBB, as Qt's QRgb; the reader needs no Qt Gui

// Bounds that keep a hostile file small: every count, text and number is
// checked against these before anything is stored.
constexpr qsizetype kMaxFileBytes = 64 * 1024;
constexpr int kMaxLineChars = 1000;
constexpr int kMaxItems = 200;
constexpr int kMaxCompanies = 32;
constexpr int kMaxCompanyChars = 40;
constexpr int kMaxNoteLines = 100;
constexpr int kMaxTextChars = 120;
constexpr int kMaxBarcodeChars = 32; // start and stop characters included
constexpr int kMinTicketTwips = 300, kMaxTicketTwips = 15000;
constexpr int kMaxCoordTwips = kMaxTicketTwips;
constexpr int kMinFontTwips = 60, kMaxFontTwips = 6000;
constexpr int kMaxPenTwips = 300;
constexpr int kMinBarHeightTwips = 150;

// Bounds on the drawing, so that one print stays within a few milliseconds
// whatever the file holds and whatever the console passes. A stop name,
// date or time is cut to kMaxRuntimeChars before it is printed; a text item
// prints at most kMaxDrawnChars characters and no more than one for every
// kMinCharPixels pixels of its box (narrower, a condensed character is a
// smudge). The reader refuses a file whose worst-case print, by drawCostNs,
// is over kMaxDrawCostNs.
constexpr int kMaxRuntimeChars = 120;
constexpr int kMaxDrawnChars = 120;
constexpr int kMinCharPixels = 2;
constexpr qint64 kMaxDrawCostNs = 6'000'000;

// What a placeholder prints. Number = the ticket number, Row = the data row.
enum class Source { Literal, Number, Stop, Date, Time, Route, Company, Row };
enum class Format { Plain, Digits, DateJa, DateDot, DateMd, TimeHm };

struct Segment {
    Source source = Source::Literal;
    Format format = Format::Plain;
    int digits = 0;  // Format::Digits: zero-padded, the last `digits` digits
    QString literal; // Source::Literal
};

enum class Kind { Text, Line, Box, Barcode };
enum class Align { Left, Center, Right };
enum class Face { Gothic, Mincho };

// One drawing instruction, coordinates in twips from the ticket's top-left.
// Line: (x, y) to (x2, y2). Barcode: `segments` hold the characters between
// `start` and `stop`, literals only of the symbology's data set.
struct Item {
    Kind kind = Kind::Text;
    int x = 0, y = 0, w = 0, h = 0, x2 = 0, y2 = 0;
    int size = 0; // text: character height
    int pen = 15; // line and box: stroke width, 0 = thinnest
    Rgb color = 0xFF000000;
    bool filled = false;
    Rgb fill = 0xFFFFFFFF;
    bool bold = false;
    Face face = Face::Gothic;
    Align align = Align::Left;
    QList<Segment> segments;
    char start = 'A', stop = 'A';
};

struct Plugin {
    int version = 1;
    kxp4::PlgInfo info;
    QString notes;
    QStringList companies;
    Rgb paper = 0xFFFFFFFF;
    QList<Item> items;
};

// At most how many characters a text item prints.
int drawnCharsBound(const Item &item);

// The worst-case time of one drawing of the plug-in, in nanoseconds of this
// program's drawing on a desktop machine: every placeholder at its longest,
// every glyph of the densest kind. Calibrated by bench_plugin.
qint64 drawCostNs(const Plugin &p);

// Raises 7 (over kMaxFileBytes), 9 (a count over its bound), 13 (not a
// plug-in, a line it cannot parse), 380 (a value out of range, an absurd
// ticket size), 9 also for a drawing over kMaxDrawCostNs. The description
// names the line.
Plugin readPlugin(QByteArrayView bytes);

} // namespace plugin
