#pragma once
// A recorded drive made up along a route's stops, for the tests and for the
// demo: NMEA at one fix a second, the bus running between stops at a steady
// speed on the straight line, waiting at each stop, with the noise and the
// dropped fixes a real receiver has.
#include "follow/Nmea.h"
#include "follow/RideFollower.h"

#include <QByteArray>
#include <QList>
#include <QSet>

namespace follow {

struct DriveSettings {
    double speedMps = 8;   // about 30 km/h
    int dwellSec = 15;     // at each stop, the first and last included
    double noiseM = 5;     // each fix off by up to this much, in each axis
    quint32 seed = 1;      // the same drive for the same seed
    int startSec = 8 * 3600;
    QSet<int> dropped;     // seconds from the start without a fix
};

// The drive's fixes, in order (no fix for the dropped seconds).
QList<nmea::Fix> driveFixes(const QList<Stop> &stops, const DriveSettings &settings);

// The same as NMEA sentences, with a line of garbage and a sentence with a
// wrong checksum now and then, as a receiver on a noisy line sends them.
QByteArray driveLog(const QList<Stop> &stops, const DriveSettings &settings);

} // namespace follow
