#include "bench/Bench.h"

#include <QTextStream>
#include <algorithm>
#include <cstdio>

namespace bench {

std::vector<Case> &registry()
{
    static std::vector<Case> r;
    return r;
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

int runAll(int argc, char **argv)
{
    const QString filter = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    for (const Case &c : registry()) {
        if (!filter.isEmpty() && !c.name.contains(filter))
            continue;
        std::vector<double> samples;
        for (int i = 0; i < c.runs; ++i)
            samples.push_back(c.run());
        std::printf("%-60s median %12.3f %s over %d runs, worst %.3f\n", qPrintable(c.name), median(samples),
                    qPrintable(c.unit), c.runs, samples.empty() ? 0.0 : *std::max_element(samples.begin(), samples.end()));
        std::fflush(stdout);
    }
    return 0;
}

} // namespace bench
