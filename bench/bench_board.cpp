// The board while the long name scrolls, at each size a rider can show it:
// the window at x1, x2 and x3, and full screen on a 1920x1080 and a
// 3840x2160 screen. Run under a display with such screens, e.g.
//   xvfb-run -a -s '-screen 0 3840x2160x24 -screen 1 1920x1080x24' s4bench board:
// A row whose screen is missing prints nan.
#include "bench/Bench.h"
#include "forms/Windows.h"
#include "panel/ChimeiCtl_A/ChimeiCtl_A.h"
#include "panel/Form1.h"
#include "platform/Fonts.h"
#include "windows/PanelScreen.h"
#include "windows/PanelSize.h"

#include <QStandardPaths>

#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <limits>

namespace {

void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

int screenOfSize(QSize size)
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (int i = 0; i < screens.size(); ++i)
        if ((QSizeF(screens[i]->size()) * screens[i]->devicePixelRatio()).toSize() == size)
            return i;
    return -1;
}

// The long name moving the whole 10 s (no start wait), as the strip's own row.
double scrolling(const std::function<bool(Form1 &)> &shown)
{
    platform::installFontSubstitutions();
    Form1 &panel = windows::Form1();
    panel.show();
    if (!shown(panel)) {
        windows::unloadAll();
        return std::numeric_limits<double>::quiet_NaN();
    }
    ChimeiCtl_A *strip = panel.ChimeiCtl();
    strip->setScrollStartWait(0);
    strip->SetChimei(QStringLiteral("国際センター駅前（北口）行き"));
    settle(500);
    const double percent = bench::cpuPercentWhileIdle(10000);
    panelscreen::restore();
    panelsize::set(1);
    windows::unloadAll();
    return percent;
}

// The window at a size, the preference kept in the test folders, not the user's.
double window(int factor)
{
    QStandardPaths::setTestModeEnabled(true);
    return scrolling([factor](Form1 &) {
        panelsize::set(factor);
        return true;
    });
}

double fullScreen(QSize size)
{
    return scrolling([size](Form1 &) {
        const int i = screenOfSize(size);
        return i >= 0 && panelscreen::show(i);
    });
}

const bench::Register x1("board: CPU while the long name scrolls, window x1, 10 s", "% of a core", 3,
                         [] { return window(1); });
const bench::Register x2("board: CPU while the long name scrolls, window x2, 10 s", "% of a core", 3,
                         [] { return window(2); });
const bench::Register x3("board: CPU while the long name scrolls, window x3, 10 s", "% of a core", 3,
                         [] { return window(3); });
const bench::Register fhd("board: CPU while the long name scrolls, full screen 1920x1080, 10 s", "% of a core", 3,
                          [] { return fullScreen(QSize(1920, 1080)); });
const bench::Register uhd("board: CPU while the long name scrolls, full screen 3840x2160, 10 s", "% of a core", 3,
                          [] { return fullScreen(QSize(3840, 2160)); });

} // namespace
