// Writes pictures of the console for the documentation: beside the panel,
// with each input frame in front, the three backlight states (a user
// picture in one), a route at night with two information digits and its
// ticket, and a word scheme in colours of one's own.
// Run under a display (xvfb-run works): console_snapshot OUTPUT_FOLDER
#include "assets/AssetFonts.h"
#include "console/frmCtl.h"
#include "core/Cp932.h"
#include "forms/Values.h"
#include "forms/Windows.h"
#include "options/frmOption.h"
#include "panel/Form1.h"
#include "platform/Fonts.h"
#include "platform/MsgBox.h"
#include "ride/FareData.h"
#include "settings/mdlIniIo.h"
#include "tools/Snapshot.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QTemporaryDir>

namespace {

using snapshot::shot;
using snapshot::waitMs;

// The panel and the console side by side, as they stand on a desktop.
void saveBoth(const QString &path)
{
    const QImage p = shot(windows::Form1()), c = shot(windows::frmCtl());
    QImage out(p.width() + 12 + c.width(), std::max(p.height(), c.height()), QImage::Format_ARGB32);
    out.fill(QColor(0x3a, 0x4a, 0x5a));
    QPainter painter(&out);
    painter.drawImage(0, 0, p);
    painter.drawImage(p.width() + 12, out.height() - c.height(), c);
    painter.end();
    out.save(path);
}

// A short route: the fare for ticket c at stop i grows with the distance.
QByteArray demoRoute()
{
    const QStringList stops = {QStringLiteral("駅前"), QStringLiteral("市役所前"), QStringLiteral("中央公園"),
                               QStringLiteral("県立病院"), QStringLiteral("国際センター駅前（北口）"),
                               QStringLiteral("港町二丁目"), QStringLiteral("水族館入口"), QStringLiteral("岬の灯台")};
    QList<fare::FareRecord> records;
    for (int i = 1; i <= stops.size(); ++i) {
        fare::FareRecord r;
        r.StopName = stops[i - 1];
        r.SeiriNo = int16_t(i);
        for (int c = 1; c <= fare::kColumns; ++c)
            r.Fare[size_t(c - 1)] = int16_t(c <= i ? 170 + 30 * (i - c) : 0);
        records.append(r);
    }
    return fare::writeFareFile(records);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    snapshot::stopTicketClock();
    platform::installFontSubstitutions();
    assets::registerDigitFonts();
    platform::setMsgBoxHandler([](const platform::MsgBoxRequest &) { return int(platform::vbOK); });
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    QTemporaryDir data;
    // The design's start values, whatever settings lie beside the tool.
    mdlIniIo::setSettingsPath(QDir(data.path()).filePath(QStringLiteral("first-run.in4")));

    Form1 &panel = windows::Form1();
    panel.show();
    frmCtl &console = windows::frmCtl();
    frmOption &options = windows::frmOption();
    waitMs(200);
    saveBoth(out.filePath(QStringLiteral("console.png")));

    console.Frame1_DblClick(1); // the keypad goes back: the lists are in front
    console.List2(3)->setCurrentRow(1);
    console.List2(4)->setCurrentRow(2);
    console.List3(2)->setCurrentRow(1);
    waitMs(100);
    shot(console).save(out.filePath(QStringLiteral("console-lists.png")));
    console.Frame1_DblClick(0);
    for (int key : {10, 1, 2, 11, 1})
        console.CommandButton1_Click(key);

    QFile route(QDir(data.path()).filePath(QStringLiteral("12.hy3")));
    if (!route.open(QIODevice::WriteOnly))
        return 1;
    route.write(demoRoute());
    route.close();
    // Its announcement list, so the announcement group is in use as on a ride.
    QFile tape(QDir(data.path()).filePath(QStringLiteral("12tp.csv")));
    if (!tape.open(QIODevice::WriteOnly))
        return 1;
    tape.write(cp932::encode(QStringLiteral("次は、市役所前です,1,1\r\n次は、終点、岬の灯台です,1,2\r\n")));
    tape.close();
    forms::setText(*options.Text2(0), data.path());
    forms::setText(*options.Text2(1), data.path());
    forms::setCheckValue(*options.Check3(1), 1); // ticket number in cell 59
    forms::setListIndex(*options.Combo4(1), 58);
    forms::setCheckValue(*options.Check3(2), 1); // route number in cell 60
    forms::setListIndex(*options.Combo4(2), 59);
    // The richer sample ticket in the preview (the samples stand beside the program).
    QString plugin = QStringLiteral("plugins/seiriken_barcode.4SP"); // SetPlgin may rewrite it
    if (options.SetPlgin(plugin))
        forms::setText(*options.txtSeiriPlgDir, plugin);
    forms::setCheckValue(*options.chkUseSeiriPrev, 1);
    forms::setListIndex(*console.Combo1, 1);
    frmCtl::lampTestMs = 0;
    console.Command1_Click(1);
    console.Command2_Click(1);
    console.Command2_Click(1);
    forms::setCheckValue(*console.Check2, 1); // night fares from the next stop
    console.Command2_Click(1);
    console.Check4->setChecked(true);
    waitMs(400);
    saveBoth(out.filePath(QStringLiteral("route-night.png")));
    console.Check4->setChecked(false);

    // The backlight states: built-in faces for OFF and ON1, the user's own
    // picture (a tinted face) for ON2.
    QImage user = panel.imgRes(0).toImage().convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < user.height(); ++y)
        for (int x = 0; x < user.width(); ++x) {
            const QColor c = user.pixelColor(x, y);
            user.setPixelColor(x, y, QColor(c.red() / 3, c.green() / 2 + 40, c.blue() / 2 + 100));
        }
    const QString userPath = QDir(data.path()).filePath(QStringLiteral("blue.jpg"));
    user.save(userPath, "JPEG", 92);
    forms::setOptionValue(*options.Option3(1), -1);
    forms::setOptionValue(*options.Option3(5), -1);
    forms::setText(*options.txtSelectPanel(2), userPath);
    forms::setFaceColor(*options.Command5(2), 0x00FFFFFF);
    const char *const names[3] = {"backlight-off.png", "backlight-on1.png", "backlight-on2-user.png"};
    for (int i = 0; i < 3; ++i) {
        forms::setOptionValue(*console.Option4(i), -1);
        waitMs(150);
        shot(panel).save(out.filePath(QString::fromLatin1(names[i])));
    }

    // A word scheme, zero-padded, in colours of the user's own.
    forms::setOptionValue(*options.Option3(0), -1);
    forms::setOptionValue(*console.Option4(1), -1);
    forms::setListIndex(*options.Combo2, 6); // 「券なし」、1,2...
    forms::setCheckValue(*options.Check2, 1);
    forms::setFaceColor(*options.Command5(1), 0x0000A0FF); // amber numbers
    forms::setFaceColor(*options.Command8(0), 0x00201810);
    forms::setFaceColor(*options.Command8(1), 0x00403830);
    forms::setFaceColor(*options.Command8(2), 0x0040FF80);
    forms::setFaceColor(*options.Command9(0), 0x00201810);
    forms::setFaceColor(*options.Command9(1), 0x0040FF80);
    options.Command4_Click();
    console.Command2_Click(0);
    waitMs(300);
    shot(panel).save(out.filePath(QStringLiteral("panel-scheme.png")));
    return 0;
}
