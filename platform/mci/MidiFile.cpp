#include "platform/mci/MidiFile.h"

#include "platform/mci/Mci.h"
#include "platform/mci/Pcm.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <new>

namespace platform::mci {

namespace {

bool readVarLen(const uchar *d, size_t end, size_t &pos, quint32 &v)
{
    v = 0;
    for (int i = 0; i < 4; ++i) {
        if (pos >= end)
            return false;
        const uchar b = d[pos++];
        v = v << 7 | (b & 0x7F);
        if (!(b & 0x80))
            return true;
    }
    return false; // longer than the format allows
}

struct Counts {
    int events = 0;
    int sysex = 0;
};

void appendBytes(QByteArray &out, const uchar *p, size_t n)
{
    out.append(reinterpret_cast<const char *>(p), qsizetype(n));
}

int normaliseTrack(const uchar *d, size_t end, QByteArray &out, Counts &n)
{
    const qsizetype head = out.size();
    out.append("MTrk\0\0\0\0", 8);
    uchar running = 0;
    bool ended = false;
    size_t pos = 0;
    while (pos < end && !ended) {
        const size_t deltaAt = pos;
        quint32 value;
        if (!readVarLen(d, end, pos, value) || pos >= end)
            return ErrInvalidFile;
        appendBytes(out, d + deltaAt, pos - deltaAt);
        uchar status = d[pos];
        if (status & 0x80)
            ++pos;
        else if (running)
            status = running;
        else
            return ErrInvalidFile;
        if (++n.events > kMaxMidiEvents)
            return ErrOutOfMemory;

        if (status < 0xF0) {
            const size_t len = (status & 0xE0) == 0xC0 ? 1 : 2; // program change, channel pressure
            if (end - pos < len)
                return ErrInvalidFile;
            for (size_t i = 0; i < len; ++i)
                if (d[pos + i] & 0x80)
                    return ErrInvalidFile;
            out.append(char(status));
            appendBytes(out, d + pos, len);
            pos += len;
            running = status;
        } else if (status == 0xF0 || status == 0xF7 || status == 0xFF) {
            uchar type = 0;
            if (status == 0xFF) {
                if (pos >= end)
                    return ErrInvalidFile;
                type = d[pos++];
            }
            const size_t lenAt = pos;
            quint32 len;
            if (!readVarLen(d, end, pos, len) || len > end - pos)
                return ErrInvalidFile;
            if (status == 0xF0) {
                if (++n.sysex > kMaxMidiSysex)
                    return ErrOutOfMemory;
                out.append(char(status));
                appendBytes(out, d + lenAt, pos - lenAt + len);
            } else if (status == 0xFF && type == 0x51) { // tempo
                if (len != 3)
                    return ErrInvalidFile;
                out.append("\xFF\x51\x03", 3);
                appendBytes(out, d + pos, 3);
            } else if (status == 0xFF && type == 0x2F) { // end of track: the rest is never read
                ended = true;
                out.append("\xFF\x2F\x00", 3);
            } else {
                // The synth fails on some of these (an F7 escape, a time
                // signature of the wrong length) and plays none of them.
                out.append("\xFF\x01\x00", 3);
            }
            pos += len;
        } else {
            return ErrInvalidFile; // real-time and common messages have no place in a file
        }
    }
    if (!ended)
        out.append("\x00\xFF\x2F\x00", 4);
    qToBigEndian(quint32(out.size() - head - 8), out.data() + head + 4);
    return 0;
}

} // namespace

int normaliseSmf(QByteArrayView data, QByteArray &out)
{
    out.clear();
    const auto *d = reinterpret_cast<const uchar *>(data.data());
    const size_t size = size_t(data.size());
    if (size < 14 || data.first(4) != "MThd")
        return ErrInvalidFile;
    const quint32 headerLen = qFromBigEndian<quint32>(d + 4);
    if (headerLen < 6 || headerLen > size - 8)
        return ErrInvalidFile;
    const quint16 format = qFromBigEndian<quint16>(d + 8), tracks = qFromBigEndian<quint16>(d + 10),
                  division = qFromBigEndian<quint16>(d + 12);
    // Division 0 would divide by zero; SMPTE timing is not supported by the synth.
    if (format > 2 || tracks == 0 || division == 0 || (division & 0x8000))
        return ErrInvalidFile;

    QByteArray res("MThd\0\0\0\x06", 8);
    appendBytes(res, d + 8, 6);
    res.reserve(qsizetype(size + size / 2 + 64));
    Counts n;
    int found = 0;
    size_t pos = 8 + headerLen;
    // Every chunk must lie inside the file; the synth reads the first
    // `tracks` track chunks and nothing else.
    while (size - pos >= 8) {
        const quint32 len = qFromBigEndian<quint32>(d + pos + 4);
        const bool isTrack = data.sliced(qsizetype(pos), 4) == "MTrk";
        pos += 8;
        if (len > size - pos)
            return ErrInvalidFile;
        if (isTrack && found < tracks) {
            if (int e = normaliseTrack(d + pos, len, res, n))
                return e;
            ++found;
        }
        pos += len;
    }
    if (found < tracks)
        return ErrInvalidFile;
    out = std::move(res);
    return 0;
}

namespace {

struct Timed {
    quint64 tick;
    MidiEvent event;
};

struct Tempo {
    quint64 tick;
    quint32 usPerQuarter;
};

// Reads the plain copy normaliseSmf wrote: every status byte spelled out,
// every track ended, nothing but channel events, sysex, tempo, end of track
// and empty text events.
void collect(const QByteArray &plain, MidiSong &song, std::vector<Timed> &events, std::vector<Tempo> &tempos,
             quint64 &endTick)
{
    const auto *d = reinterpret_cast<const uchar *>(plain.constData());
    const size_t size = size_t(plain.size());
    size_t pos = 14;
    while (pos + 8 <= size) {
        const size_t end = pos + 8 + qFromBigEndian<quint32>(d + pos + 4);
        pos += 8;
        quint64 tick = 0;
        while (pos < end) {
            quint32 delta = 0, len = 0;
            readVarLen(d, end, pos, delta);
            tick += delta;
            const uchar status = d[pos++];
            if (status < 0xF0) {
                MidiEvent e;
                e.status = status;
                e.data1 = d[pos++];
                if ((status & 0xE0) != 0xC0)
                    e.data2 = d[pos++];
                events.push_back({tick, e});
            } else if (status == 0xF0) {
                readVarLen(d, end, pos, len);
                quint32 body = len;
                if (body > 0 && d[pos + body - 1] == 0xF7)
                    --body;
                if (body > 0) {
                    MidiEvent e;
                    e.status = 0xF0;
                    e.sysexAt = quint32(song.sysex.size());
                    e.sysexLen = body;
                    song.sysex.append(reinterpret_cast<const char *>(d + pos), body);
                    events.push_back({tick, e});
                }
                pos += len;
            } else { // 0xFF
                const uchar type = d[pos++];
                readVarLen(d, end, pos, len);
                if (type == 0x51)
                    tempos.push_back({tick, quint32(d[pos]) << 16 | quint32(d[pos + 1]) << 8 | d[pos + 2]});
                else if (type == 0x2F)
                    endTick = std::max(endTick, tick);
                pos += len;
            }
        }
        pos = end;
    }
}

} // namespace

int readMidi(QByteArrayView smf, int rate, MidiSong &out)
{
    out = MidiSong();
    if (rate <= 0)
        return ErrHardware;
    try {
        QByteArray plain;
        if (int e = normaliseSmf(smf, plain))
            return e;
        const auto *d = reinterpret_cast<const uchar *>(plain.constData());
        const double division = qFromBigEndian<quint16>(d + 12);

        MidiSong song;
        song.rate = rate;
        std::vector<Timed> events;
        std::vector<Tempo> tempos;
        quint64 endTick = 0;
        events.reserve(size_t(plain.size()) / 4); // an event takes four bytes or more
        collect(plain, song, events, tempos, endTick);
        // Tracks were read one after another: a stable sort keeps, at equal
        // times, the earlier track's events first and each track's in order.
        // A single track is in order already.
        const auto byTick = [](const auto &a, const auto &b) { return a.tick < b.tick; };
        if (!std::is_sorted(events.begin(), events.end(), byTick))
            std::stable_sort(events.begin(), events.end(), byTick);
        std::stable_sort(tempos.begin(), tempos.end(), byTick);

        // Microseconds at a tick, asked for in rising order.
        size_t nextTempo = 0;
        quint64 segmentTick = 0;
        double segmentUs = 0, usPerTick = 500'000 / division;
        const auto usAt = [&](quint64 tick) {
            for (; nextTempo < tempos.size() && tempos[nextTempo].tick <= tick; ++nextTempo) {
                segmentUs += double(tempos[nextTempo].tick - segmentTick) * usPerTick;
                segmentTick = tempos[nextTempo].tick;
                usPerTick = tempos[nextTempo].usPerQuarter / division;
            }
            return segmentUs + double(tick - segmentTick) * usPerTick;
        };
        const double limitUs = kMaxSoundSeconds * 1e6;
        const auto frameAt = [&](double us) { return quint32(std::llround(std::min(us, limitUs) * rate / 1e6)); };

        song.events.reserve(events.size());
        for (const Timed &t : events) {
            const double us = usAt(t.tick);
            if (us >= limitUs)
                break;
            song.events.push_back(t.event);
            song.events.back().frame = frameAt(us);
        }
        const double endUs = std::min(usAt(endTick), limitUs);
        song.endFrame = frameAt(endUs);
        song.lengthMs = int(std::llround(endUs / 1000));
        out = std::move(song);
        return 0;
    } catch (const std::bad_alloc &) {
        out = MidiSong();
        return ErrOutOfMemory;
    }
}
} // namespace platform::mci
