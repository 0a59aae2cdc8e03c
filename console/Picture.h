#pragma once
// The backlight pictures as the console reads them: BMP, GIF or JPEG, told
// by their content (a name's extension proves nothing). No file I/O here.
#include <QByteArrayView>
#include <QImage>

namespace picture {

// 8192 x 8192 is far beyond any panel; a header claiming more is refused.
constexpr qint64 kMaxPixels = qint64(8192) * 8192;

// The picture in the bytes, or error 481 for any other format, a picture
// of more than maxPixels (refused from its header, before decoding) or one
// that does not decode.
QImage decode(QByteArrayView bytes, qint64 maxPixels = kMaxPixels);

} // namespace picture
