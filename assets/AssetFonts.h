#pragma once
// The built-in assets: the panel face and the three seven-segment digit faces
// "M_DegitA", "M_DegitB" and "M_DegitC", embedded as resources.
#include <QString>

namespace assets {

// Registers the digit faces with the application; true when all three loaded.
bool registerDigitFonts();

// Resource path of the built-in panel face (710 x 284).
inline QString facePath() { return QStringLiteral(":/face/face.png"); }
// The same face at twice the pixels, for screens scaled above 100 %.
inline QString face2xPath() { return QStringLiteral(":/face/face@2x.png"); }

} // namespace assets
