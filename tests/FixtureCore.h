#pragma once
// What every suite builds its cases from, without a widget (target
// s4testfixturecore): routes written by the program's own writer and plain
// file helpers. Suites that build the windows add tests/Fixture.h.
#include "ride/FareData.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

namespace fixture {

// The value column c (1..150) of stop i (1-based) holds fare(i, c).
using FareOf = std::function<int(int stop, int column)>;
int tenPerStop(int stop, int column); // 10 * stop + column

// Stop i is named "停留所i" and carries ticket number i.
QList<fare::FareRecord> stops(int count, const FareOf &fare = tenPerStop);
// The bytes of a route file of those stops, as fare::writeFareFile writes it.
QByteArray route(int count, const FareOf &fare = tenPerStop);
// The same bytes declaring another count than their records (0, negative,
// more than there are): what a cut or damaged file says of itself.
QByteArray declaring(int count, QByteArray file);

// Whole-file helpers for fixtures: false or empty when the file cannot be
// written or read.
bool put(const QString &path, const QByteArray &bytes);
QByteArray bytesOf(const QString &path);

} // namespace fixture
