#include "follow/NmeaStream.h"

#include <algorithm>
#include <cmath>

namespace nmea {

namespace {

// Enough of a line to hold any sentence the parser takes, with its line end.
constexpr qsizetype kKeep = 128;

} // namespace

bool LineStream::push(QByteArrayView bytes, QList<Fix> &out)
{
    while (!bytes.isEmpty() && !m_unusable) {
        const qsizetype nl = bytes.indexOf('\n');
        const qsizetype piece = nl < 0 ? bytes.size() : nl;
        if (m_line.size() < kKeep)
            m_line.append(bytes.first(std::min(piece, kKeep - m_line.size())));
        m_lineBytes += piece;
        m_unheard += piece;
        if (nl < 0) {
            // A line that does not end is refused as soon as it is too long
            // to be heard and past the bound, not at its end (it may never come).
            if (m_lineBytes > kMaxStreamLine && m_unheard > kMaxUnheardBytes)
                m_unusable = true;
            break;
        }
        ++m_unheard; // its line end
        endLine(out);
        bytes = bytes.sliced(nl + 1);
    }
    return !m_unusable;
}

bool LineStream::finish(QList<Fix> &out)
{
    if (!m_unusable && m_lineBytes > 0)
        endLine(out);
    return !m_unusable;
}

void LineStream::endLine(QList<Fix> &out)
{
    bool heard = false;
    if (m_lineBytes <= kMaxStreamLine) {
        Rejected why = Rejected::Garbage;
        if (m_lineBytes <= kKeep) // longer is no sentence, whatever its start
            if (const auto fix = parse(m_line, &why))
                out << *fix;
        QByteArrayView l(m_line);
        while (!l.isEmpty() && (l.back() == '\r' || l.back() == ' '))
            l.chop(1);
        heard = (why != Rejected::Garbage && why != Rejected::BadChecksum)
                || (l.startsWith('{') && (m_lineBytes > kKeep || l.endsWith('}'))); // gpsd's own reports
    }
    m_line.clear();
    m_lineBytes = 0;
    if (heard)
        m_unheard = 0;
    else if (m_unheard > kMaxUnheardBytes)
        m_unusable = true;
}

int playbackDelayMs(int previousSec, int sec, double speed)
{
    constexpr int kDay = 86400, kLongestGap = 600;
    speed = std::isfinite(speed) ? std::clamp(speed, 1.0, 60.0) : 1.0;
    if (previousSec < 0 || sec < 0)
        return int(1000 / speed);
    const int step = ((sec - previousSec) % kDay + kDay) % kDay;
    return int((step > kLongestGap ? 1000 : step * 1000) / speed);
}

} // namespace nmea
