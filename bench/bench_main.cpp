// Figures for the closing notes: each case prints the median of several runs.
#include "bench/Bench.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    return bench::runAll(argc, argv);
}
