#pragma once
// A long headless ride through the real windows: a 301-stop route of long
// names stepped back and forth with the announcement tape, the step and
// announcement sounds on the real player, the ticket preview and the
// scroll; then the options applied and the settings saved and read again.
// The benchmark runs it in full, a test runs a short one.
#include <QStringList>

namespace soak {

struct Plan {
    int steps = 10000;
    int optionApplies = 100;
    int saveLoads = 100;
};

struct Result {
    qint64 rssBeforeKb = 0, rssAfterRideKb = 0, rssAfterKb = 0; // 0: not measurable here
    double slowestStepMs = 0, slowestApplyMs = 0, slowestSaveLoadMs = 0;
    double medianStepMs = 0;
    int slowestStep = -1;   // its number, from 0
    int stepsOver20Ms = 0;
    int steps = 0;        // steps taken that moved the fares
    int spoken = 0;       // announcements handed to the engine
    int sounds = 0;       // sounds the player was asked to play
    int previews = 0;     // tickets the preview drew (not blank)
    int compositions = 0; // redraws of the scrolling stop name
    bool reloadIdentical = false; // the last file, read back and saved again, is the same bytes
    QStringList messages; // any message box shown: none expected
};

// Needs a QApplication; SDL_AUDIODRIVER=dummy keeps the player silent.
Result run(const Plan &plan);

// The resident set of this process in KiB; 0 where the system does not tell.
qint64 residentKb();

} // namespace soak
