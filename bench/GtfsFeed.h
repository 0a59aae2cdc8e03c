#pragma once
// A synthetic city-size GTFS-JP feed: 1,000 stops (a zone each, a reading
// each in the older translations layout), 300 routes, 1,000,000 stop_times
// and 500,000 fare rules (every route's own zone pairs, then zone pairs for
// every route). The same feed for the same arguments.
#include <QString>

namespace bench {

struct GtfsFeedSize {
    int stops = 1000;
    int routes = 300;
    int stopTimes = 1000000;
    int fareRules = 500000;
    int stopsPerTrip = 30;
};

// Writes the feed's files into folder (made if missing); false on a write error.
bool writeGtfsFeed(const QString &folder, const GtfsFeedSize &size = {});

// A row bomb: a small .zip of one trip over two stops whose stop_times.txt
// repeats short valid rows ("T,S,17") `rows` times. 12 M rows pack into
// 0.6 MB, 42 M into 2.1 MB. False on a write error.
bool writeRowBomb(const QString &zipPath, qint64 rows);

} // namespace bench
