#pragma once
// Twips (15 to the pixel at the usual resolution) and colours stored as
// 0x00BBGGRR, red in the low byte.
#include <QColor>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <cmath>
#include <cstdint>

namespace platform {

constexpr int kTwipsPerPixel = 15;

constexpr int twipsToPixels(int twips)
{
    // Round half away from zero, as the window system places controls.
    return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel
                      : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}
constexpr int pixelsToTwips(int pixels) { return pixels * kTwipsPerPixel; }

inline QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height));
}

constexpr uint32_t rgb(int r, int g, int b)
{
    return uint32_t(r & 0xFF) | (uint32_t(g & 0xFF) << 8) | (uint32_t(b & 0xFF) << 16);
}

inline QColor fromOle(uint32_t c)
{
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

inline uint32_t toOle(const QColor &c) { return rgb(c.red(), c.green(), c.blue()); }

} // namespace platform
