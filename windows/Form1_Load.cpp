// The program's start-up: the panel's load, which clears and sets up the
// panel, loads the options dialog and the console, places both windows and
// reads the settings. It ties the windows together, so it lives with them;
// the panel and its controls below know none of them.
#include "panel/Form1.h"

#include "console/frmCtl.h"
#include "forms/Windows.h"
#include "options/frmOption.h"
#include "settings/mdlIniIo.h"
#include "windows/Keys.h"
#include "windows/PanelSize.h"
#include "windows/frmAutoStep.h"
#include "windows/frmRecord.h"
#include "windows/mdl427_000.h"

#include <QGuiApplication>
#include <QScreen>

::Form1 &windows::Form1()
{
    return detail::load<::Form1>(Id::Panel);
}

void Form1::Form_Load()
{
    mdl427_000::ClearAllDegit(*this);
    mdl427_000::InitPanelDefault(*this);
    windows::frmOption(); // loaded hidden; it stays hidden until the user opens it
    frmCtl &console = windows::frmCtl();
    frmAutoStep::addToConsole(console);
    frmRecord::addToConsole(console);
    console.show();
    console.raise();
    move(0, 0);
    // The console's outer frame at the screen's bottom-right corner, unclamped.
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect s = screen->geometry();
        const QSize frame = console.frameGeometry().size();
        console.move(s.right() + 1 - frame.width(), s.bottom() + 1 - frame.height());
    }
    keys::attach(console);
    keys::attach(*this);
    panelsize::attach(*this);
    setRoundRegion();
    update();
    mdlIniIo::LoadIni();
    // The window size of the user's own choice, over the panel where it now stands.
    panelsize::load();
    panelsize::apply();
}
