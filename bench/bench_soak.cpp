// The long ride: 10,000 steps, 100 option applies, 100 saves and loads.
// Prints the figures the run is judged by; its own figure is the slowest step.
#include "bench/Bench.h"
#include "bench/Soak.h"

#include <cstdio>

namespace {

const bench::Register soakRide("soak: 10000 steps, 100 applies, 100 save/loads (slowest step)", "ms", 1, [] {
    qputenv("SDL_AUDIODRIVER", "dummy");
    const soak::Result r = soak::run(soak::Plan{});
    std::printf("  resident memory: %lld KiB before the ride, %lld KiB after it, %lld KiB at the end (%+lld KiB)\n",
                r.rssBeforeKb, r.rssAfterRideKb, r.rssAfterKb, r.rssAfterKb - r.rssBeforeKb);
    std::printf("  steps that moved the fares %d, announcements %d, sounds played %d, tickets drawn %d of the "
                "sampled, scroll redraws %d\n",
                r.steps, r.spoken, r.sounds, r.previews, r.compositions);
    std::printf("  steps: median %.3f ms, slowest %.3f ms (step %d), %d of them 20 ms or more\n", r.medianStepMs,
                r.slowestStepMs, r.slowestStep, r.stepsOver20Ms);
    std::printf("  slowest option apply %.3f ms, save and load %.3f ms\n", r.slowestApplyMs, r.slowestSaveLoadMs);
    std::printf("  last settings file read back and saved again: %s; messages shown: %d\n",
                r.reloadIdentical ? "identical" : "DIFFERENT", int(r.messages.size()));
    return r.slowestStepMs;
});

} // namespace
