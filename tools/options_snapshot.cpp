// Writes pictures of the options dialog for the documentation: each of its
// six pages and the second sound frame, with the dependent frames shown.
// Run under a display (xvfb-run works): options_snapshot OUTPUT_FOLDER
#include "assets/AssetFonts.h"
#include "forms/Values.h"
#include "forms/Windows.h"
#include "options/frmOption.h"
#include "platform/Fonts.h"
#include "tools/Snapshot.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>


int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    platform::installFontSubstitutions();
    assets::registerDigitFonts();
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));

    frmOption &dlg = windows::frmOption();
    // Everything that depends on a choice is shown, so every caption is in a picture.
    forms::setOptionValue(*dlg.Option3(1), -1);
    forms::setCheckValue(*dlg.chkUseSeiriPrev, 1);
    for (int i = 0; i < 4; ++i)
        forms::setCheckValue(*dlg.Check3(i), 1);
    dlg.show();

    const auto save = [&](const QString &name) {
        snapshot::waitMs(150);
        dlg.grab().save(out.filePath(name));
    };
    for (int page = 0; page < 6; ++page) {
        forms::setOptionValue(*dlg.Option1(page), -1);
        save(QStringLiteral("options-page%1.png").arg(page));
    }
    forms::setOptionValue(*dlg.Option1(4), -1);
    forms::setOptionValue(*dlg.Option5(0), -1);
    save(QStringLiteral("options-page4-tape.png"));
    windows::unloadAll();
    return 0;
}
