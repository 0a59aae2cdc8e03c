// The settings file: LoadIni of a full file (SetProp included) and SaveIni.
#include "assets/AssetFonts.h"
#include "bench/Bench.h"
#include "forms/Windows.h"
#include "panel/Form1.h"
#include "platform/Fonts.h"
#include "settings/mdlIniIo.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

namespace {

QTemporaryDir &dir()
{
    static QTemporaryDir d = [] {
        platform::installFontSubstitutions();
        assets::registerDigitFonts();
        return QTemporaryDir();
    }();
    return d;
}

double timed(void (*op)())
{
    mdlIniIo::setSettingsPath(dir().filePath(QStringLiteral("bench.in4")));
    windows::Form1();
    mdlIniIo::SaveIni(); // a full file to read
    QElapsedTimer t;
    t.start();
    op();
    return t.nsecsElapsed() / 1e6;
}

const bench::Register load("settings: LoadIni of a full file, SetProp included", "ms", 21, [] { return timed(mdlIniIo::LoadIni); });
const bench::Register save("settings: SaveIni", "ms", 21, [] { return timed(mdlIniIo::SaveIni); });

} // namespace
