// Open-data figures: listing a city-size feed's stop patterns and importing
// one pattern (fares from 500,000 rules, readings, the announcement list),
// and the command's whole-process peak memory and time (as /usr/bin/time
// counts them) over that feed and over two row bombs, small archives of
// short valid stop_times rows that the command must refuse or read within
// 600 MB and 10 s.
#include "bench/Bench.h"
#include "bench/GtfsFeed.h"
#include "opendata/FeedPath.h"
#include "opendata/Gtfs.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>

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

// The command's peak resident memory (MiB) and wall time (s) over args,
// or -1 for both when it cannot be measured.
std::pair<double, double> command(const QStringList &args)
{
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(QStringLiteral("/usr/bin/time"),
            QStringList{QStringLiteral("-f"), QStringLiteral("peak %M wall %e"),
                        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("soratobi4-route")), QStringLiteral("gtfs")}
                + args);
    if (!p.waitForFinished(60000))
        return {-1, -1};
    const QList<QByteArray> words = p.readAllStandardError().trimmed().split('\n').constLast().split(' ');
    if (words.size() != 4 || words[0] != "peak")
        return {-1, -1};
    return {words[1].toDouble() / 1024, words[3].toDouble()};
}

QString bomb(qint64 rows)
{
    const QString path = QDir::temp().filePath(QStringLiteral("s4bench-bomb-%1.zip").arg(rows));
    if (!QFile::exists(path) && !bench::writeRowBomb(path, rows))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return path;
}

QStringList listArgs(const QString &feed) { return {feed, QStringLiteral("--list")}; }
QStringList importArgs()
{
    return {feedFolder(), QStringLiteral("--route"), QStringLiteral("R17"), QStringLiteral("--direction"), QStringLiteral("0"),
            QStringLiteral("--number"), QStringLiteral("17"), QStringLiteral("--out"), QDir::temp().filePath(QStringLiteral("s4bench-gtfs-out"))};
}

bench::Register cityListMemory("gtfs command: list the city-size feed, peak memory", "MiB", 5,
                               [] { return command(listArgs(feedFolder())).first; });
bench::Register cityListTime("gtfs command: list the city-size feed, wall time", "s", 5,
                             [] { return command(listArgs(feedFolder())).second; });
bench::Register cityImportMemory("gtfs command: import from the city-size feed, peak memory", "MiB", 5, [] {
    QDir().mkpath(importArgs().constLast());
    return command(importArgs()).first;
});
bench::Register cityImportTime("gtfs command: import from the city-size feed, wall time", "s", 5, [] {
    QDir().mkpath(importArgs().constLast());
    return command(importArgs()).second;
});
bench::Register smallBombMemory("gtfs command: row bomb of 0.6 MB (12 M rows), peak memory", "MiB", 5,
                                [] { return command(listArgs(bomb(12000000))).first; });
bench::Register smallBombTime("gtfs command: row bomb of 0.6 MB (12 M rows), wall time", "s", 5,
                              [] { return command(listArgs(bomb(12000000))).second; });
bench::Register largeBombMemory("gtfs command: row bomb of 2.1 MB (42 M rows), peak memory", "MiB", 5,
                                [] { return command(listArgs(bomb(42000000))).first; });
bench::Register largeBombTime("gtfs command: row bomb of 2.1 MB (42 M rows), wall time", "s", 5,
                              [] { return command(listArgs(bomb(42000000))).second; });

} // namespace
