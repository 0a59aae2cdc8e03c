#include "bench/Bench.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTextStream>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>

namespace bench {

std::vector<Case> &registry()
{
    static std::vector<Case> r;
    return r;
}

double cpuPercentWhileIdle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    QElapsedTimer wall;
    wall.start();
    const std::clock_t cpu0 = std::clock();
    loop.exec();
    const double cpuMs = double(std::clock() - cpu0) * 1000.0 / CLOCKS_PER_SEC;
    return 100.0 * cpuMs / double(std::max<qint64>(1, wall.elapsed()));
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
