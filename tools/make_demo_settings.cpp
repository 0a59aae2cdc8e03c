// Writes the demo ride's settings file with the program's own writer, so
// route 12 loads with its chimes, announcements and ticket preview.
//   make_demo_settings OUT.in4 [--if-missing]
// With --if-missing an existing file (a user's own settings) is left alone.
#include "core/FileIo.h"
#include "core/IniData.h"
#include "core/VbError.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>

namespace {

constexpr int16_t kOn = -1; // an option button that is selected

IniData demo()
{
    // The options as the dialog starts them, then the demo's own choices.
    IniData d = ini::startValues();
    // Relative paths are taken from the executable's folder.
    const QString dir = QStringLiteral("examples/demo/");
    d.FareDataDir = dir;
    d.TapeDataDir = dir;
    d.ChimeiFontMode = 0; // the first font, chosen

    // The ticket number in cell 59 and the route number in cell 60: the
    // demo line has 20 stops, so these cells are free.
    d.InfoSeiriNumOn = 1;
    d.InfoSeiriNumKoma = 58;
    d.InfoKeitoNumOn = 1;
    d.InfoKeitoNumKoma = 59;

    const QString snd = dir + QStringLiteral("sounds/");
    d.SoundKeitoSet = snd + QStringLiteral("keito.mp3");
    d.SoundReset = snd + QStringLiteral("reset.wav");
    // Stepping never waits for its knock (as the dialog starts).
    d.StepSoundPath = snd + QStringLiteral("step.wav");
    d.TapeSoundAlways = 0; // the list's sound flag picks the chime
    d.TapeSoundByFlag = kOn;
    // The chime ends before the announcement (as the dialog starts).
    d.TapeSoundPath = snd + QStringLiteral("next.mid");
    d.TapeSound1 = snd + QStringLiteral("next.mid");
    d.TapeSound2 = snd + QStringLiteral("terminus.mp3");
    d.TapeSound3 = snd + QStringLiteral("depart.wav");

    d.UseSeiriPrev = 1;
    d.SeiriPlgPath = QStringLiteral("plugins/seiriken_barcode.4SP");
    d.SeiriFixedDate = QStringLiteral("2025/04/01");

    d.ChimeiSpeed = 40;
    d.ChimeiScrollStartWait = 1500;
    d.SeiriPrevOpen = 1;
    // The panel at the top left, the console under it: on any screen.
    d.PanelLeft = 600;
    d.PanelTop = 600;
    d.CtlLeft = 600;
    d.CtlTop = 5100;
    return d;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2 || (args.size() == 3 && args[2] != QLatin1String("--if-missing")) || args.size() > 3) {
        std::fprintf(stderr, "usage: make_demo_settings OUT.in4 [--if-missing]\n");
        return 2;
    }
    if (args.size() == 3 && QFileInfo::exists(args[1]))
        return 0;
    if (const int e = fileio::writeWhole(args[1], ini::writeIni(demo()))) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(args[1]), qPrintable(vb::Error::standardDescription(e)));
        return 1;
    }
    return 0;
}
