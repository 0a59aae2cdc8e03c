// Stop-name strip: drawing a unit, showing a six-unit name, and the CPU a
// long name costs while it scrolls.
#include "bench/Bench.h"
#include "panel/ChimeiCtl_A/ChimeiCtl_A.h"
#include "platform/Fonts.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <ctime>

namespace {

const QString kSix = QStringLiteral("東京駅八重洲");
const QString kUnits[] = {QStringLiteral("東"), QStringLiteral("京"), QStringLiteral("（"), QStringLiteral("ー"),
                          QStringLiteral("AB"), QStringLiteral("駅")};

// Microseconds per call over a batch, after a warm-up that loads the faces
// and fills Qt's glyph cache.
template<typename F>
double perCall(int batch, F &&call)
{
    platform::installFontSubstitutions();
    ChimeiCtl_A c;
    for (int i = 0; i < 50; ++i)
        call(c, i);
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < batch; ++i)
        call(c, i);
    return t.nsecsElapsed() / 1000.0 / batch;
}

const bench::Register drawUnit("stop name: DrawDot16, one unit (warm)", "us", 15, [] {
    return perCall(2000, [](ChimeiCtl_A &c, int i) { c.DrawDot16(2, 32 * (i % 6), kUnits[i % 6]); });
});

const bench::Register setSix("stop name: SetChimei, six units", "us", 15, [] {
    return perCall(500, [](ChimeiCtl_A &c, int) { c.SetChimei(kSix); });
});

// A 14-unit name moves 448 + 196 pixels per run, 25.8 s at Speed 5, so the
// whole 10 s is spent moving (no start wait).
const bench::Register scrollCpu("stop name: CPU while a long name scrolls at Speed 5, 10 s", "% of a core", 3, [] {
    platform::installFontSubstitutions();
    ChimeiCtl_A c;
    c.setScrollStartWait(0);
    c.show();
    c.SetChimei(QStringLiteral("国際センター駅前（北口）行き"));
    return bench::cpuPercentWhileIdle(10000);
});

} // namespace
