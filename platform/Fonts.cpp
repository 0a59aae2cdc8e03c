#include "platform/Fonts.h"

#include "core/FontNames.h"

#include <QFont>
#include <QString>

namespace platform {

void installFontSubstitutions()
{
    QFont::insertSubstitution(fonts::msGothic(), QStringLiteral("IPAGothic"));
    QFont::insertSubstitution(fonts::msMincho(), QStringLiteral("IPAMincho"));
    QFont::insertSubstitution(fonts::msPGothic(), QStringLiteral("IPAPGothic"));
    // The ticket-number face is not on this system. The labels show
    // full-width digits; the proportional Gothic draws those half as wide as
    // the fixed one, so "１２" reads as one number, not two.
    QFont::insertSubstitution(fonts::labelFace(), QStringLiteral("IPAPGothic"));
}

} // namespace platform
