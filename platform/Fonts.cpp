#include "Fonts.h"

#include <QFont>
#include <QString>

namespace platform {

void installFontSubstitutions()
{
    QFont::insertSubstitution(QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"));
    QFont::insertSubstitution(QStringLiteral("ＭＳ 明朝"), QStringLiteral("IPAMincho"));
    QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
    // The ticket-number face ships with the board's own product only; the
    // labels show full-width digits, which the Gothic face draws cleanly.
    QFont::insertSubstitution(QStringLiteral("ヌーベリア数字平体"), QStringLiteral("IPAGothic"));
}

} // namespace platform
