#pragma once
// Window shapes as the window system builds them: a rounded rectangle from
// (left, top) to (right, bottom), right and bottom edges excluded, with
// corners cut by an ellipse of the given width and height.
#include <QRegion>

namespace platform {

QRegion roundRectRegion(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight);

} // namespace platform
