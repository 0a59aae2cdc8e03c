// Fare cell drawing: one new value drawn into a cell's surface.
#include "assets/AssetFonts.h"
#include "bench/Bench.h"
#include "panel/M_Degit/M_Degit.h"
#include "platform/Fonts.h"

#include <QElapsedTimer>
#include <memory>

namespace {

M_Degit &cell()
{
    static std::unique_ptr<M_Degit> d = [] {
        platform::installFontSubstitutions();
        assets::registerDigitFonts();
        auto c = std::make_unique<M_Degit>();
        c->InitProperties();
        return c;
    }();
    return *d;
}

// Microseconds per draw, averaged over a batch so the timer's own cost fades.
double drawBatch()
{
    M_Degit &d = cell();
    constexpr int kBatch = 200;
    static int value = 0;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < kBatch; ++i)
        d.setValue(++value % 10000);
    return t.nsecsElapsed() / 1000.0 / kBatch;
}

const bench::Register drawCell("fare cell: draw one new value", "us", 31, drawBatch);

} // namespace
