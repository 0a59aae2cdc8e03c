#include "assets/AssetFonts.h"
#include "panel/Form1.h"
#include "platform/EventGuard.h"
#include "platform/Fonts.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    platform::installFontSubstitutions();
    assets::registerDigitFonts();

    Form1 panel;
    try {
        panel.Form_Load();
    } catch (...) {
        // A failed start-up ends the program after the general report.
        platform::reportUnhandledCurrent();
        return 1;
    }
    panel.show();
    return app.exec();
}
