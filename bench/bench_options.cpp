// The options dialog: creating it with all its controls and lists (part of
// every start-up), and showing it for the first time.
#include "assets/AssetFonts.h"
#include "bench/Bench.h"
#include "options/frmOption.h"
#include "platform/Fonts.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWindow>
#include <memory>

namespace {

void prepare()
{
    static const bool done = [] {
        platform::installFontSubstitutions();
        assets::registerDigitFonts();
        return true;
    }();
    (void)done;
}

std::unique_ptr<frmOption> created()
{
    auto dlg = std::make_unique<frmOption>();
    dlg->Form_Load();
    return dlg;
}

double create()
{
    prepare();
    QElapsedTimer t;
    t.start();
    auto dlg = created();
    return t.nsecsElapsed() / 1e6;
}

// From show() until the window is on the screen and painted once.
double firstShow()
{
    prepare();
    auto dlg = created();
    QElapsedTimer t;
    t.start();
    dlg->show();
    while (!(dlg->windowHandle() && dlg->windowHandle()->isExposed()) && t.elapsed() < 2000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    dlg->repaint();
    const double ms = t.nsecsElapsed() / 1e6;
    dlg->hide();
    return ms;
}

const bench::Register createCase("options dialog: create with its lists", "ms", 15, create);
const bench::Register showCase("options dialog: first show", "ms", 15, firstShow);

} // namespace
