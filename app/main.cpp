#include "assets/AssetFonts.h"
#include "forms/Windows.h"
#include "panel/Form1.h"
#include "platform/EventGuard.h"
#include "platform/Fonts.h"
#include "platform/Screen.h"
#include "remote/Board.h"
#include "remote/Instance.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLibraryInfo>
#include <QLocale>
#include <QTextStream>
#include <QTranslator>

#include <cstdio>
#include <cstring>

namespace {

// Under SORATOBI4_FIRST_PAINT=1 the program prints when each of its two
// windows first paints, and when both have: the start-up benchmark reads it
// from outside. It only watches; nothing else changes.
class FirstPaint : public QObject {
public:
    FirstPaint() { m_clock.start(); }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && m_done < 2) {
            for (auto [id, name] : {std::pair{windows::Id::Panel, "panel"}, std::pair{windows::Id::Console, "console"}}) {
                const int bit = id == windows::Id::Panel ? 1 : 2;
                if (!(m_seen & bit) && watched == windows::loaded(id)) {
                    m_seen |= bit;
                    std::printf("painted %s %lld ms\n", name, static_cast<long long>(m_clock.elapsed()));
                    if (m_seen == 3) {
                        std::printf("painted both %lld ms\n", static_cast<long long>(m_clock.elapsed()));
                        m_done = 2;
                    }
                    std::fflush(stdout);
                }
            }
        }
        return false;
    }

private:
    QElapsedTimer m_clock;
    int m_seen = 0;
    int m_done = 0;
};

} // namespace

int main(int argc, char **argv)
{
    // Help and the version need neither a display nor the bus.
    if (argc == 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
        QTextStream(stdout) << "Usage: 427 [COMMAND]\n"
                               "Starts the fare board ソラトビ Ver4. With a board already running, raises it and\n"
                               "passes COMMAND to it instead (the commands are soratobi4-ctl's).\n\n"
                            << remote::usage(QStringLiteral("427"));
        return remote::ExitOk;
    }
    if (argc == 2 && !std::strcmp(argv[1], "--version")) {
        std::printf("427 (ソラトビ Ver4) %s\n", S4_VERSION);
        return remote::ExitOk;
    }
    platform::chooseScreenTransfer();
    // A command for the running board needs the bus, not a display: it is
    // passed on before the windowing starts.
    remote::Owner early;
    if (const std::optional<int> passed = remote::passEarly(argc, argv, early))
        return *passed;

    QApplication app(argc, argv);
    FirstPaint firstPaint;
    if (qEnvironmentVariableIntValue("SORATOBI4_FIRST_PAINT") == 1)
        app.installEventFilter(&firstPaint);
    QCoreApplication::setApplicationName(QStringLiteral("Soratobi4")); // the per-user settings folder
    // Qt's own texts (file dialogs, standard buttons) in Japanese, as the
    // board's own are.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTexts);

    // A command on the command line is one of soratobi4-ctl's, for this
    // board or the one already running.
    const remote::Command command = remote::parseCommand(app.arguments().mid(1));
    if (!command.error.isEmpty()) {
        QTextStream(stderr) << "427: " << command.error << "\n\n" << remote::usage(QStringLiteral("427"));
        return remote::ExitUsage;
    }
    remote::Start start = remote::begin(command, early);
    if (start.exit)
        return *start.exit;

    platform::installFontSubstitutions();
    assets::registerDigitFonts();

    int result = 1;
    try {
        windows::Form1().show();
        remote::serve(start.board, command);
        result = app.exec();
    } catch (...) {
        // A failed start-up ends the program after the general report.
        platform::reportUnhandledCurrent();
    }
    start.board.reset();
    windows::unloadAll();
    return result;
}
