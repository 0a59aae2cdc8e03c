#include "platform/Fonts.h"

#include <QFont>
#include <QString>

namespace platform {

void installFontSubstitutions()
{
    QFont::insertSubstitution(QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"));
    QFont::insertSubstitution(QStringLiteral("ＭＳ 明朝"), QStringLiteral("IPAMincho"));
    QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
    // The ticket-number face is not on this system. The labels show
    // full-width digits; the proportional Gothic draws those half as wide as
    // the fixed one, so "１２" reads as one number, not two.
    QFont::insertSubstitution(QStringLiteral("ヌーベリア数字平体"), QStringLiteral("IPAPGothic"));
}

} // namespace platform
