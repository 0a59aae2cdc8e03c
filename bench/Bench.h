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
int runAll(int argc, char **argv); // optional argument: a name filter

} // namespace bench
