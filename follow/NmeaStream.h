#pragma once
// NMEA as a file or a socket hands it over: bytes in pieces of any size,
// fixes out. Lines are split with a bound on their length, so an endless
// line costs no memory; a stream that brings nothing but garbage is found
// unusable after a bound, so it costs no time either. Pure: bytes in,
// fixes out.
#include "follow/Nmea.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace nmea {

// A line longer than this is garbage, whatever it holds (a sentence is at
// most 120 bytes, a gpsd report line a few hundred).
constexpr qsizetype kMaxStreamLine = 8 * 1024;
// This many bytes without one sentence with a good checksum (or a gpsd
// report line): the stream is no NMEA, or one line that never ends.
constexpr qint64 kMaxUnheardBytes = 64 * 1024;

class LineStream {
public:
    // The fixes of the lines the bytes complete are appended to out. False
    // once the stream is unusable; it reads nothing more after that.
    bool push(QByteArrayView bytes, QList<Fix> &out);
    // The end of the stream: its last line, if it had no line end.
    bool finish(QList<Fix> &out);

    bool unusable() const { return m_unusable; }
    // What is kept of the line being read (never more than a sentence).
    qsizetype buffered() const { return m_line.size(); }

private:
    void endLine(QList<Fix> &out);

    QByteArray m_line;      // the start of the current line
    qint64 m_lineBytes = 0; // its whole length so far
    qint64 m_unheard = 0;   // bytes since the last good line
    bool m_unusable = false;
};

// The wait before a fix of a recorded log, from the time of the fix before
// it (seconds of the day, -1 unknown): the log's own step, across midnight
// too. A step back, an unknown time or a gap of more than ten minutes is a
// new part of the log and plays one second later. Played `speed` times as
// fast (1 to 60), every wait is that much shorter.
int playbackDelayMs(int previousSec, int sec, double speed = 1);

} // namespace nmea
