// Sound figures: how soon a cached sound is heard, how long a MIDI file takes
// to open the first time and from the cache and to its first sample, what four
// MIDI channels cost, and what the largest sounds cost in memory.
#include "bench/Bench.h"
#include "platform/mci/Mci.h"
#include "sound/mdlSndAPI.h"
#include "tests/SoundFixtures.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QStringList>
#include <QTimer>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <chrono>
#include <ctime>

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<bool> g_armed{false};
std::atomic<Clock::rep> g_firstSound{0};

// Audio thread: the moment the first audible sample reaches the mixer.
void firstSoundTap(int, const void *stream, int bytes, void *)
{
    if (!g_armed.load())
        return;
    const auto *s = static_cast<const qint16 *>(stream);
    for (int i = 0; i < bytes / 2; ++i)
        if (s[i] != 0) {
            g_firstSound = Clock::now().time_since_epoch().count();
            g_armed = false;
            return;
        }
}

// A 60-second tune: a note every quarter second over a slow bass.
QByteArray minuteOfMidi()
{
    std::vector<soundfix::Note> ns;
    for (int i = 0; i < 240; ++i)
        ns.push_back({i * 0.25, 0.24, 60 + (i * 7) % 24});
    for (int i = 0; i < 30; ++i)
        ns.push_back({i * 2.0, 1.9, 36 + (i * 5) % 12});
    return soundfix::midi(ns);
}

// Five minutes of eight-note chords twenty times a second, each ringing half
// a second: as many events as a file may hold, more voices than the synth
// plays at once.
QByteArray denseFiveMinutes()
{
    std::vector<soundfix::Note> ns;
    for (int i = 0; i < 20 * 300 - 5; ++i)
        for (int k = 0; k < 8; ++k)
            ns.push_back({i * 0.05, 0.5, 40 + (i * 5 + k * 7) % 48});
    return soundfix::midi(ns);
}

// The largest WAV the player reads: 64 MB of 48 kHz stereo, six minutes
// and more, of which it keeps five.
QByteArray largestWav()
{
    const quint32 bytes = (64u << 20) - 44;
    QByteArray b("RIFF");
    soundfix::putLE(b, 36 + bytes, 4);
    b += "WAVEfmt ";
    soundfix::putLE(b, 16, 4);
    soundfix::putLE(b, 1, 2);
    soundfix::putLE(b, 2, 2);
    soundfix::putLE(b, 48000, 4);
    soundfix::putLE(b, 48000 * 4, 4);
    soundfix::putLE(b, 4, 2);
    soundfix::putLE(b, 16, 2);
    b += "data";
    soundfix::putLE(b, bytes, 4);
    QByteArray samples(qsizetype(bytes), Qt::Uninitialized);
    for (qsizetype i = 0; i < samples.size(); ++i)
        samples[i] = char(i * 37 & 0x7F);
    return b + samples;
}

struct Files {
    QTemporaryDir dir;
    QString wav = dir.filePath("chime.wav");
    QString mid = dir.filePath("minute.mid");
    QString big = dir.filePath("largest.wav");
    QString dense = dir.filePath("dense.mid");
    Files()
    {
        soundfix::writeFile(wav, soundfix::wav(0.3));
        soundfix::writeFile(mid, minuteOfMidi());
        soundfix::writeFile(dense, denseFiveMinutes());
        soundfix::writeFile(big, largestWav());
    }
};

Files &files()
{
    static Files f;
    return f;
}

void idle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents();
        QThread::msleep(1);
    }
}

// A field of /proc/self/status in KiB (Linux only; -1 elsewhere).
double statusKiB(const QByteArray &field)
{
    QFile f("/proc/self/status");
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toDouble();
    return -1;
}

QString openMidi(const QString &path)
{
    return QStringLiteral("open \"%1\" type sequencer alias benchmid wait").arg(path);
}

double timedOpen(const QString &command)
{
    QElapsedTimer t;
    t.start();
    const int rc = platform::sendMci(command);
    const double ms = rc == 0 ? double(t.nsecsElapsed()) / 1e6 : -1;
    platform::sendMci("close benchmid");
    return ms;
}

// A fresh copy of `path` (nothing cached), opened and played: the time from
// the open to its first audible sample at the mixer, or -1 when it fails.
double freshToFirstSample(const QString &path)
{
    static int n = 0;
    const QString copy = files().dir.filePath(QStringLiteral("fresh%1.mid").arg(++n));
    QFile::copy(path, copy);
    platform::mci::setTap(firstSoundTap, nullptr);
    g_firstSound = 0;
    g_armed = true;
    const Clock::rep start = Clock::now().time_since_epoch().count();
    const bool ok = platform::sendMci(openMidi(copy)) == 0 && platform::sendMci("play benchmid from 0") == 0;
    QElapsedTimer t;
    t.start();
    while (ok && g_armed && t.elapsed() < 10000)
        QThread::usleep(200);
    g_armed = false;
    platform::sendMci("close benchmid");
    QFile::remove(copy);
    idle(50);
    if (!ok || !g_firstSound)
        return -1;
    return std::chrono::duration<double, std::milli>(Clock::duration(g_firstSound.load() - start)).count();
}

// The first play decodes the file; the runs measure plays from the cache.
double cachedWavToFirstSample()
{
    static const bool warm = (mdlSndAPI::SndPlay(files().wav, "S1", 0, 0), idle(400), true);
    (void)warm;
    platform::mci::setTap(firstSoundTap, nullptr);
    g_firstSound = 0;
    g_armed = true;
    const Clock::rep start = Clock::now().time_since_epoch().count();
    mdlSndAPI::SndPlay(files().wav, "S1", 0, 0);
    QElapsedTimer t;
    t.start();
    while (g_armed && t.elapsed() < 3000)
        QThread::usleep(200);
    g_armed = false;
    const double ms = g_firstSound ? std::chrono::duration<double, std::milli>(
                                         Clock::duration(g_firstSound.load() - start))
                                         .count()
                                   : -1;
    idle(50);
    return ms;
}

bench::Register latency("sound: SndPlay of a cached WAV to its first sample at the mixer", "ms", 21,
                        cachedWavToFirstSample);

// The device closed after a quiet spell: the play opens it again first.
bench::Register afterRest("sound: the same, the device closed after a quiet spell", "ms", 11, [] {
    cachedWavToFirstSample(); // warm, and the device open
    platform::mci::setRestAfter(50);
    QElapsedTimer t;
    t.start();
    while (!platform::mci::resting() && t.elapsed() < 8000)
        idle(20);
    const double ms = platform::mci::resting() ? cachedWavToFirstSample() : -1;
    platform::mci::setRestAfter(5000);
    return ms;
});

// Each run opens a fresh copy, so nothing comes from the cache.
bench::Register midiOpen("sound: open of a 60-second MIDI file, first time (read and checked)", "ms", 7, [] {
    static int n = 0;
    const QString copy = files().dir.filePath(QStringLiteral("minute%1.mid").arg(++n));
    QFile::copy(files().mid, copy);
    return timedOpen(openMidi(copy));
});

bench::Register midiFirstSample("sound: open and play of a fresh 60-second MIDI file to its first sample", "ms", 7,
                                [] { return freshToFirstSample(files().mid); });

bench::Register denseFirstSample("sound: open and play of a fresh dense 5-minute MIDI file to its first sample", "ms",
                                 5, [] { return freshToFirstSample(files().dense); });

// Four aliases play the dense file at once: the process's CPU time over two
// seconds of it, in per cent of one core (-1 when one fails to open).
bench::Register fourMidiCpu("sound: CPU while four dense MIDI channels play at once", "% of a core", 3, [] {
    const QStringList aliases{"cpu1", "cpu2", "cpu3", "cpu4"};
    bool ok = true;
    for (const QString &a : aliases)
        ok = ok && platform::sendMci(QStringLiteral("open \"%1\" type sequencer alias %2 wait").arg(files().dense, a)) == 0
             && platform::sendMci("play " + a + " from 0") == 0;
    double percent = -1;
    if (ok) {
        idle(300); // past the first blocks
        percent = bench::cpuPercentWhileIdle(2000); // asleep between events, so only the sound costs
    }
    for (const QString &a : aliases)
        platform::sendMci("close " + a);
    return percent;
});

bench::Register midiCached("sound: open of a 60-second MIDI file again", "ms", 21, [] {
    static const bool warm = (timedOpen(openMidi(files().mid)), true);
    (void)warm;
    return timedOpen(openMidi(files().mid));
});

// Read whole, decoded, cut at five minutes and cached: the peak while the
// largest file the player reads opens. The cache is emptied first.
bench::Register bigMemory("sound: peak memory added by opening a 64 MB WAV (cut to 5 minutes)", "MiB", 5, [] {
    platform::sendMci("close benchbig");
    platform::mci::setCacheLimit(0);
    platform::mci::setCacheLimit(qint64(64) << 20);
    const double before = statusKiB("VmRSS");
    QFile clear("/proc/self/clear_refs"); // "5" resets the peak to the current size
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
    clear.close();
    const int rc = platform::sendMci(
        QStringLiteral("open \"%1\" type waveaudio alias benchbig wait").arg(files().big));
    const double peak = statusKiB("VmHWM");
    const int length = platform::mci::lengthMs("benchbig");
    platform::sendMci("close benchbig");
    return rc != 0 || length > 300'000 || before < 0 || peak < 0 ? -1.0 : (peak - before) / 1024;
});

// The events and the synthesiser are the whole cost (a fresh copy, so
// nothing is cached); all in place once playing starts, so a second and a
// half of play shows the peak.
bench::Register midiMemory("sound: peak memory added while a 60-second MIDI file plays", "MiB", 5, [] {
    platform::sendMci("close benchmid");
    const double before = statusKiB("VmRSS");
    QFile clear("/proc/self/clear_refs"); // "5" resets the peak to the current size
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
    clear.close();
    static int n = 0;
    const QString copy = files().dir.filePath(QStringLiteral("playing%1.mid").arg(++n));
    QFile::copy(files().mid, copy);
    if (platform::sendMci(openMidi(copy)) != 0 || platform::sendMci("play benchmid from 0") != 0)
        return -1.0;
    idle(1500);
    const double peak = statusKiB("VmHWM");
    platform::sendMci("close benchmid");
    return before < 0 || peak < 0 ? -1.0 : (peak - before) / 1024;
});

} // namespace
