#include "assets/AssetFonts.h"

#include <QFontDatabase>

namespace assets {

bool registerDigitFonts()
{
    static const bool ok = [] {
        bool all = true;
        for (const char *name : {"M_DegitA", "M_DegitB", "M_DegitC"})
            all &= QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/%1.ttf").arg(QLatin1String(name))) >= 0;
        return all;
    }();
    return ok;
}

} // namespace assets
