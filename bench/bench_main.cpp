// Figures for the closing notes: each case prints the median of several runs.
#include "bench/Bench.h"
#include "platform/Screen.h"

#include <QApplication>

int main(int argc, char **argv)
{
    platform::chooseScreenTransfer(); // as the program does
    QApplication app(argc, argv);
    return bench::runAll(argc, argv);
}
