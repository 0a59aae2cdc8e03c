#pragma once
// What a fare cell lights, worked out without any drawing: the zero mode,
// zero fill and shift applied to a value, cut to the cell's positions.
#include <QString>
#include <QVariant>

namespace degit {

// A value counts as a number when it holds one, or when it is a text that
// reads as one (the route number is passed as entered, leading zeros and all).
bool toNumber(const QVariant &v, double *out);

// The text of a value as the cell prints it: whole numbers without a point.
QString valueText(const QVariant &v);

// Pads a number with leading zeros to `width` digits, rounding to a whole
// number first; the sign stays in front (-1 at width 3 gives "-001").
QString zeroFilled(double value, int width);

// The characters the cell lights, right-aligned over its row of "8"s.
QString shownText(const QVariant &value, int zeroMode, int fillZero, int shift, int keta);

} // namespace degit
