#include "platform/Fonts.h"

#include "core/FontNames.h"

#include <QFont>
#include <QGuiApplication>
#include <QString>

namespace platform {

namespace {
unsigned long long g_generation = 1;
} // namespace

void installFontSubstitutions()
{
    ++g_generation;
    QFont::insertSubstitution(fonts::msGothic(), QStringLiteral("IPAGothic"));
    QFont::insertSubstitution(fonts::msMincho(), QStringLiteral("IPAMincho"));
    QFont::insertSubstitution(fonts::msPGothic(), QStringLiteral("IPAPGothic"));
    // The ticket-number face is not on this system. The labels show
    // full-width digits; the proportional Gothic draws those half as wide as
    // the fixed one, so "１２" reads as one number, not two.
    QFont::insertSubstitution(fonts::labelFace(), QStringLiteral("IPAPGothic"));
}

unsigned long long fontGeneration()
{
    static const bool watching = [] {
        if (!qGuiApp)
            return false;
        QObject::connect(qGuiApp, &QGuiApplication::fontDatabaseChanged, qGuiApp, [] { ++g_generation; });
        return true;
    }();
    (void)watching;
    return g_generation;
}

} // namespace platform
