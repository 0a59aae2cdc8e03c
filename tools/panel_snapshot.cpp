// Writes pictures of the panel for the documentation: a route's fares with a
// short stop name, a long name caught at two moments of its scroll, and the
// first again in the window twice the size (panel-x2.png).
// Run under a display (xvfb-run works): panel_snapshot OUTPUT_FOLDER
// On a scaled screen (QT_SCALE_FACTOR=2) only the first, named for the scale: panel-200.png.
#include "assets/AssetFonts.h"
#include "panel/ChimeiCtl_A/ChimeiCtl_A.h"
#include "panel/Form1.h"
#include "panel/M_Degit/M_Degit.h"
#include "platform/Fonts.h"
#include "tools/Snapshot.h"
#include "windows/PanelSize.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QStandardPaths>
#include <cmath>

namespace {

using snapshot::waitMs;

QString g_suffix;

void save(Form1 &panel, const QString &path)
{
    snapshot::shot(panel).save(QString(path).replace(QStringLiteral(".png"), g_suffix + QStringLiteral(".png")));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    platform::installFontSubstitutions();
    assets::registerDigitFonts();
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));

    const int percent = int(std::lround(app.devicePixelRatio() * 100));
    if (percent != 100)
        g_suffix = QStringLiteral("-%1").arg(percent);

    Form1 panel;
    panel.Form_Load();
    panel.show();

    // A route boarded at section 1: the fare grows with the distance.
    const int fares[] = {180, 180, 210, 230, 250, 270, 290, 310, 340, 360, 380, 400, 420, 440};
    for (int i = 1; i <= int(std::size(fares)); ++i)
        panel.Degit(i)->setValue(fares[i - 1]);
    ChimeiCtl_A *strip = panel.ChimeiCtl();
    strip->SetChimei(QStringLiteral("市役所前"));
    waitMs(300);
    save(panel, out.filePath(QStringLiteral("panel.png")));
    if (percent != 100)
        return 0; // the scaled screen in one picture; the scroll is the same

    // The scroll runs on a clock of its own here, so each picture catches it
    // at the same moment on every run.
    int64_t clock = 0;
    strip->setClock([&clock] { return clock; });
    const auto at = [&](int64_t ms) {
        clock = ms;
        strip->advanceScroll();
        waitMs(100);
    };
    strip->setScrollStartWait(200);
    strip->setSpeed(20);
    strip->SetChimei(QStringLiteral("国際センター駅前（北口）"));
    at(100);
    save(panel, out.filePath(QStringLiteral("panel-long-1.png")));
    at(1600);
    save(panel, out.filePath(QStringLiteral("panel-long-2.png")));

    // The window twice the size; the choice goes to a test folder, not the user's.
    QStandardPaths::setTestModeEnabled(true);
    strip->SetChimei(QStringLiteral("市役所前"));
    panelsize::set(2);
    waitMs(300);
    if (QWidget *big = panelsize::view())
        snapshot::shot(*big).save(out.filePath(QStringLiteral("panel-x2.png")));
    return 0;
}
