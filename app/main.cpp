#include "assets/AssetFonts.h"
#include "forms/Windows.h"
#include "panel/Form1.h"
#include "platform/EventGuard.h"
#include "platform/Fonts.h"
#include "remote/Board.h"
#include "remote/Instance.h"

#include <QApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Soratobi4")); // the per-user settings folder

    // A command on the command line is one of soratobi4-ctl's, for this
    // board or the one already running.
    const remote::Command command = remote::parseCommand(app.arguments().mid(1));
    if (!command.error.isEmpty()) {
        QTextStream(stderr) << "427: " << command.error << "\n\n" << remote::usage(QStringLiteral("427"));
        return remote::ExitUsage;
    }
    const remote::Claim claim = remote::claimName();
    if (claim == remote::Claim::Taken)
        return remote::forward(command);

    platform::installFontSubstitutions();
    assets::registerDigitFonts();

    int result = 1;
    std::unique_ptr<remote::Board> board;
    try {
        windows::Form1().show();
        board = remote::serve(claim, command);
        result = app.exec();
    } catch (...) {
        // A failed start-up ends the program after the general report.
        platform::reportUnhandledCurrent();
    }
    board.reset();
    windows::unloadAll();
    return result;
}
