#include "assets/AssetFonts.h"
#include "forms/Windows.h"
#include "panel/Form1.h"
#include "platform/EventGuard.h"
#include "platform/Fonts.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Soratobi4")); // the per-user settings folder
    platform::installFontSubstitutions();
    assets::registerDigitFonts();

    int result = 1;
    try {
        windows::Form1().show();
        result = app.exec();
    } catch (...) {
        // A failed start-up ends the program after the general report.
        platform::reportUnhandledCurrent();
    }
    windows::unloadAll();
    return result;
}
