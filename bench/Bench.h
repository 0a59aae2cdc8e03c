#pragma once
// A tiny registry of benchmark cases. A case returns one figure per run;
// the runner prints the median over the runs.
#include <QString>
#include <functional>
#include <vector>

namespace bench {

struct Case {
    QString name;
    QString unit;
    int runs;
    std::function<double()> run; // one measurement
};

std::vector<Case> &registry();

struct Register {
    Register(QString name, QString unit, int runs, std::function<double()> fn)
    {
        registry().push_back({std::move(name), std::move(unit), runs, std::move(fn)});
    }
};

double median(std::vector<double> v);

// The process's CPU time over `ms` of wall time spent asleep in an event
// loop, as a percentage of one core: what the program costs while it only
// waits (std::clock() is the process's CPU time on Linux).
double cpuPercentWhileIdle(int ms);
int runAll(int argc, char **argv); // optional argument: a name filter

} // namespace bench
