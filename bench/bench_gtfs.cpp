// Open-data figures: listing a city-size feed's stop patterns and importing
// one pattern (fares from 500,000 rules, readings, the announcement list).
// The peak memory is the command's own: run
//   /usr/bin/time -v soratobi4-route gtfs FOLDER --list
// over the folder the first case prints.
#include "bench/Bench.h"
#include "bench/GtfsFeed.h"
#include "opendata/FeedPath.h"
#include "opendata/Gtfs.h"

#include <QDir>
#include <QElapsedTimer>

#include <cstdio>

namespace {

const QString &feedFolder()
{
    static const QString folder = [] {
        const QString f = QDir::temp().filePath(QStringLiteral("s4bench-gtfs"));
        if (!QFile::exists(QDir(f).filePath(QStringLiteral("translations.txt"))) && !bench::writeGtfsFeed(f))
            std::fprintf(stderr, "cannot write the synthetic feed into %s\n", qPrintable(f));
        std::printf("synthetic feed: %s\n", qPrintable(f));
        return f;
    }();
    return folder;
}

bench::Register listing("gtfs: list the stop patterns of a city-size feed (1,000,000 stop_times)", "ms", 3, [] {
    const QString &f = feedFolder();
    QElapsedTimer t;
    t.start();
    const opendata::Listing l = opendata::listPatterns(opendata::openFeed(f));
    const double ms = t.nsecsElapsed() / 1e6;
    return l.patterns.size() == 600 ? ms : -1;
});

bench::Register importing("gtfs: import one pattern of it (500,000 fare rules)", "ms", 3, [] {
    const QString &f = feedFolder();
    QElapsedTimer t;
    t.start();
    const opendata::Import im = opendata::importPattern(opendata::openFeed(f), {QStringLiteral("R17"), QStringLiteral("0"), {}, 0});
    const double ms = t.nsecsElapsed() / 1e6;
    return im.records.size() == 30 && im.faresUndefined == 0 && im.readingCount == 30 ? ms : -1;
});

} // namespace
