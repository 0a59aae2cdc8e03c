#include "platform/Region.h"

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

// The shape with its top-left corner at (0, 0).
QRegion roundRectAtOrigin(int right, int bottom, int ellipseWidth, int ellipseHeight)
{
    QRegion region;
    if (right <= 0 || bottom <= 0)
        return region;
    const double a = std::min(ellipseWidth, right) / 2.0;  // corner ellipse radii
    const double b = std::min(ellipseHeight, bottom) / 2.0;
    if (a <= 0 || b <= 0)
        return QRegion(0, 0, right, bottom);
    // One span per pixel row: the row's centre decides how far the corner
    // ellipse cuts in. Rows between the corners are full width.
    for (int y = 0; y < bottom; ++y) {
        const double cy = y + 0.5;
        double dy = 0;
        if (cy < b)
            dy = b - cy;
        else if (cy > bottom - b)
            dy = cy - (bottom - b);
        int inset = 0;
        if (dy > 0) {
            const double dx = a * std::sqrt(std::max(0.0, 1.0 - (dy * dy) / (b * b)));
            inset = int(std::lround(a - dx));
        }
        if (right - 2 * inset > 0)
            region += QRect(inset, y, right - 2 * inset, 1);
    }
    return region;
}

} // namespace

QRegion roundRectRegion(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight)
{
    return roundRectAtOrigin(right - left, bottom - top, ellipseWidth, ellipseHeight).translated(left, top);
}

} // namespace platform
