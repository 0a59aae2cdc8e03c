// The console: its creation to the first paint, the backlight switch with the
// built-in face and with a user JPEG, a 301-stop route read and installed,
// and one redisplay with all four information digits.
#include "assets/AssetFonts.h"
#include "bench/Bench.h"
#include "console/frmCtl.h"
#include "core/Cp932.h"
#include "forms/Values.h"
#include "forms/Windows.h"
#include "options/frmOption.h"
#include "panel/Form1.h"
#include "platform/Fonts.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtEndian>

namespace {

struct World {
    QTemporaryDir dir;
    QByteArray route;
    World()
    {
        platform::installFontSubstitutions();
        assets::registerDigitFonts();
        char le[2];
        const auto put = [this, &le](int v) {
            qToLittleEndian<int16_t>(int16_t(v), le);
            route.append(le, 2);
        };
        put(301);
        for (int i = 1; i <= 301; ++i) {
            const QByteArray name = cp932::encode(QStringLiteral("国際センター駅前%1").arg(i));
            put(int(name.size()));
            route += name;
            put(i);
            for (int c = 1; c <= 150; ++c)
                put(170 + c * 10);
        }
        QImage face = QImage(710, 284, QImage::Format_RGB32);
        face.fill(QColor(40, 90, 160));
        face.save(dir.filePath(QStringLiteral("face.jpg")), "JPEG", 90);
        windows::Form1().show();
        frmOption &o = windows::frmOption();
        forms::setText(*o.txtSelectPanel(1), dir.filePath(QStringLiteral("face.jpg")));
        for (int i = 0; i < 4; ++i) {
            forms::setCheckValue(*o.Check3(i), 1);
            forms::setListIndex(*o.Combo4(i), 10 + i);
        }
        forms::setListIndex(*o.Combo4(4), 99);
        frmCtl &c = windows::frmCtl();
        c.ride().install(fare::readFareFile(route), QStringLiteral("00012"));
    }
};

World &world()
{
    static World w;
    return w;
}

template<typename F>
double msOf(F &&f)
{
    QElapsedTimer t;
    t.start();
    f();
    return t.nsecsElapsed() / 1e6;
}

double createToFirstPaint()
{
    world();
    return msOf([] {
        frmCtl c;
        c.Form_Load();
        c.show();
        c.repaint();
        QApplication::processEvents();
    });
}

double backlight(bool user)
{
    world();
    frmOption &o = windows::frmOption();
    forms::setOptionValue(*o.Option3(user ? 1 : 0), -1);
    forms::setOptionValue(*o.Option3(2), user ? -1 : 0);
    return msOf([] { windows::frmCtl().Option4_Click(1); });
}

const bench::Register create("console: creation to first paint", "ms", 9, createToFirstPaint);
const bench::Register builtIn("console: Option4_Click, built-in face", "ms", 31, [] { return backlight(false); });
const bench::Register jpeg("console: Option4_Click, 710x284 JPEG", "ms", 31, [] { return backlight(true); });
const bench::Register load("route: read and install 301 stops", "ms", 31, [] {
    World &w = world();
    fare::FareTable table;
    return msOf([&] { table.install(fare::readFareFile(w.route)); });
});
const bench::Register disp("route: DispData with four information digits", "ms", 31, [] {
    world();
    static int row = 0;
    return msOf([] { windows::frmCtl().DispData(1 + row++ % 301); });
});

const bench::Register setProp("options: SetProp (60 labels, 62 digits, the strip)", "ms", 31, [] {
    world();
    return msOf([] { windows::frmOption().SetProp(); });
});

// The whole start-up as main runs it, without a settings file: a fresh
// panel, options dialog and console, shown.
const bench::Register startUp("start-up: panel and console shown", "ms", 7, [] {
    world();
    windows::unloadAll();
    const double ms = msOf([] {
        windows::Form1().show();
        QApplication::processEvents();
    });
    return ms;
});

} // namespace
