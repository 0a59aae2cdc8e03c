#pragma once
// Sound files made on the spot for the sound tests and the benchmark.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtGlobal>
#include <cmath>
#include <algorithm>
#include <vector>

namespace soundfix {

inline void putLE(QByteArray &b, quint32 v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        b.append(char(v >> (8 * i) & 0xFF));
}

inline void putBE(QByteArray &b, quint32 v, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        b.append(char(v >> (8 * i) & 0xFF));
}

// Mono 16-bit PCM sine, loud from the first sample to the last.
inline QByteArray wav(double seconds, double hz = 440, int rate = 22050)
{
    const quint32 frames = quint32(seconds * rate);
    QByteArray b("RIFF");
    putLE(b, 36 + frames * 2, 4);
    b += "WAVEfmt ";
    putLE(b, 16, 4);
    putLE(b, 1, 2);        // PCM
    putLE(b, 1, 2);        // mono
    putLE(b, quint32(rate), 4);
    putLE(b, quint32(rate) * 2, 4);
    putLE(b, 2, 2);
    putLE(b, 16, 2);
    b += "data";
    putLE(b, frames * 2, 4);
    for (quint32 i = 0; i < frames; ++i) {
        // Offset by a quarter period so sample 0 is already at full swing.
        const double s = std::cos(2 * M_PI * hz * i / rate);
        putLE(b, quint32(quint16(qint16(s * 12000))), 2);
    }
    return b;
}

inline void varLen(QByteArray &b, quint32 v)
{
    QByteArray tmp;
    tmp.prepend(char(v & 0x7F));
    while (v >>= 7)
        tmp.prepend(char(0x80 | (v & 0x7F)));
    b += tmp;
}

// Format 0, 480 ticks per quarter at 120 bpm: 960 ticks a second.
// Each note: {start seconds, length seconds, key}; one instrument on channel 0.
struct Note {
    double start, length;
    int key;
};

inline QByteArray midi(const std::vector<Note> &notes, int program = 0)
{
    struct Ev {
        quint32 tick;
        int order; // note-offs before note-ons at the same tick
        QByteArray bytes;
    };
    std::vector<Ev> evs;
    for (const Note &n : notes) {
        const auto on = quint32(std::lround(n.start * 960));
        const auto off = quint32(std::lround((n.start + n.length) * 960));
        evs.push_back({on, 1, QByteArray("\x90", 1) + char(n.key) + char(100)});
        evs.push_back({off, 0, QByteArray("\x80", 1) + char(n.key) + char(0)});
    }
    std::stable_sort(evs.begin(), evs.end(),
                     [](const Ev &a, const Ev &b) { return a.tick != b.tick ? a.tick < b.tick : a.order < b.order; });
    QByteArray trk = QByteArray::fromHex("00FF510307A120"); // tempo 500000 us per quarter
    trk += QByteArray::fromHex("00C0") + char(program);
    quint32 now = 0;
    for (const Ev &e : evs) {
        varLen(trk, e.tick - now);
        now = e.tick;
        trk += e.bytes;
    }
    trk += QByteArray::fromHex("00FF2F00");

    QByteArray b("MThd");
    putBE(b, 6, 4);
    putBE(b, 0, 2); // format 0
    putBE(b, 1, 2); // one track
    putBE(b, 480, 2);
    b += "MTrk";
    putBE(b, quint32(trk.size()), 4);
    return b + trk;
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace soundfix
