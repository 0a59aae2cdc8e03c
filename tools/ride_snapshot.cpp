// Writes pictures of the demo ride for the documentation: route 12 loaded
// from the demo settings, then a few stops on, to the terminus.
// Run under a display from the build's bin folder (xvfb-run works):
//   ride_snapshot OUTPUT_FOLDER
#include "assets/AssetFonts.h"
#include "console/frmCtl.h"
#include "follow/Nmea.h"
#include "forms/Values.h"
#include "forms/Windows.h"
#include "panel/ChimeiCtl_A/ChimeiCtl_A.h"
#include "panel/Form1.h"
#include "platform/Fonts.h"
#include "platform/MsgBox.h"
#include "settings/mdlIniIo.h"
#include "sound/mdlSndAPI.h"
#include "tools/Snapshot.h"
#include "windows/frmAutoStep.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryFile>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QStandardPaths>
#include <QPainter>

namespace {

using snapshot::shot;
using snapshot::waitMs;

// The panel above, the console (its ticket preview open) below.
void saveRide(const QString &path)
{
    const QImage p = shot(windows::Form1()), c = shot(windows::frmCtl());
    QImage out(std::max(p.width(), c.width()) + 24, p.height() + c.height() + 36, QImage::Format_ARGB32);
    out.fill(QColor(0x3a, 0x4a, 0x5a));
    QPainter painter(&out);
    painter.drawImage(12, 12, p);
    painter.drawImage(12, p.height() + 24, c);
    painter.end();
    out.save(path);
}

// The panel above, the console and the 自動送り window below it.
void saveAuto(const QString &path, QWidget &autoStep)
{
    const QImage p = shot(windows::Form1()), c = shot(windows::frmCtl()), a = shot(autoStep);
    QImage out(std::max(p.width(), c.width() + a.width() + 12) + 24, p.height() + std::max(c.height(), a.height()) + 36,
               QImage::Format_ARGB32);
    out.fill(QColor(0x3a, 0x4a, 0x5a));
    QPainter painter(&out);
    painter.drawImage(12, 12, p);
    painter.drawImage(12, p.height() + 24, c);
    painter.drawImage(24 + c.width(), p.height() + 24, a);
    painter.end();
    out.save(path);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    snapshot::stopTicketClock();
    QCoreApplication::setApplicationName(QStringLiteral("Soratobi4"));
    platform::installFontSubstitutions();
    assets::registerDigitFonts();
    platform::setMsgBoxHandler([](const platform::MsgBoxRequest &r) {
        qWarning("message: %s", qPrintable(r.prompt));
        return int(platform::vbOK);
    });
    mdlSndAPI::setMciSender([](const QString &) { return 0; }); // pictures only
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));

    mdlIniIo::setSettingsPath(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("examples/demo/demo.in4")));
    Form1 &panel = windows::Form1();
    panel.show();
    // The strip scrolls on a clock of its own, moved only where a picture
    // catches a name under way, so every run catches it at the same pixel.
    int64_t scrollClock = 0;
    panel.ChimeiCtl()->setClock([&scrollClock] { return scrollClock; });
    frmCtl &console = windows::frmCtl();
    console.show();
    frmCtl::lampTestMs = 0;
    for (int key : {10, 1, 2, 11, 1}) // 系統 1 2 区間 1
        console.CommandButton1_Click(key);
    console.Command1_Click(1); // リセット
    forms::setListIndex(*console.Combo1, 0); // the company, as a driver picks it
    waitMs(400);
    // The ride is pictured with its announcements: a machine whose speech
    // engine cannot start (or a demo whose list is not found) would show the
    // group off, and such pictures are not written.
    if (!console.TapeEnabled || !console.grpM_Tape->isEnabled()) {
        qCritical("ride_snapshot: the announcement group is off (%s); no pictures written",
                  console.TapeEnabled ? "the demo's announcement list was not loaded" : "no speech engine");
        return 1;
    }
    saveRide(out.filePath(QStringLiteral("ride-1.png")));

    const int steps[] = {3, 8, 8}; // 市民病院前, 県営グラウンド前, 終点
    for (int n = 0; n < 3; ++n) {
        for (int i = 0; i < steps[n]; ++i)
            console.Command2_Click(1);
        if (n == 1) { // a long name, caught scrolling
            scrollClock += 2000;
            panel.ChimeiCtl()->advanceScroll();
        }
        waitMs(400);
        saveRide(out.filePath(QStringLiteral("ride-%1.png").arg(n + 2)));
    }

    // The same route riding itself from its recorded drive: reset, then the
    // drive's fixes through 自動送り by position, pictured on the way.
    console.Command1_Click(1);
    waitMs(400);
    QStandardPaths::setTestModeEnabled(true); // the user's own 自動送り choice stays as it is
    frmAutoStep autoStep;
    // The drive is fed below, fix by fix; the window's own source reads an
    // empty log, so that it adds nothing at its own pace between pictures.
    QTemporaryFile none;
    none.open();
    autoStep.txtSource->setText(none.fileName());
    autoStep.setMode(frmAutoStep::Mode::Position);
    autoStep.txtSource->clear(); // pictured as a rider leaves it: the route's own drive
    autoStep.show();
    QFile log(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("examples/demo/12.nmea")));
    if (!log.open(QIODevice::ReadOnly) || !autoStep.running()) {
        qCritical("ride_snapshot: the demo's drive cannot be followed (%s)", qPrintable(autoStep.lblStatus->text()));
        return 1;
    }
    const QList<int> pictured = {2, 9, 19};
    int next = 0;
    for (const QByteArray &line : log.readAll().split('\n')) {
        const auto fix = nmea::parse(line);
        if (!fix)
            continue;
        autoStep.feedPosition(fix->lat, fix->lon);
        autoStep.tick();
        if (next < pictured.size() && console.ride().route().CurIndex >= pictured[next]) {
            waitMs(400);
            saveAuto(out.filePath(QStringLiteral("auto-%1.png").arg(next + 1)), autoStep);
            ++next;
        }
    }
    autoStep.setMode(frmAutoStep::Mode::Off);
    QFile::remove(frmAutoStep::settingsFile()); // nor one of the pictures' own
    return next == pictured.size() ? 0 : 1;
}
