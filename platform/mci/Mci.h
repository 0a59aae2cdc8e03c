#pragma once
// MCI string commands over SDL2_mixer: the small subset the sound channels use.
//
//   open "PATH" type waveaudio|mpegvideo|sequencer alias A [wait]
//   play A [from 0] [wait]
//   stop A [wait]
//   close A [wait]      close all
//
// A WAV or MP3 file is decoded into plain samples before the mixer sees it,
// off the GUI thread (open waits in a local loop that keeps the windows
// painting but holds back user input), and kept in a small cache for the
// next open of the same unchanged file. A MIDI file is only read and checked
// at open; it is synthesised while it plays, so it starts at once whatever
// its length.
// Keywords and aliases are case-insensitive. One mixer channel per alias;
// opening on an alias that is already open closes it first. The path is taken
// literally (no wildcard expansion). Call only from the GUI thread.
#include <QString>
#include <QtGlobal>
#include <cstddef>

namespace platform {

// 0 on success, otherwise one of the mci::Err codes below.
int sendMci(const QString &command);

namespace mci {

// The winmm numbers, so a failure reads the same as on Windows.
enum Err : int {
    ErrUnrecognizedKeyword = 259,
    ErrUnrecognizedCommand = 261,
    ErrHardware = 262,
    ErrInvalidDeviceName = 263,
    ErrOutOfMemory = 264,
    ErrMissingCommandString = 267,
    ErrMissingParameter = 273,
    ErrUnsupportedFunction = 274,
    ErrFileNotFound = 275,
    ErrNoClosingQuote = 294,
    ErrDuplicateFlags = 295,
    ErrInvalidFile = 296,
    ErrExtraCharacters = 305,
};

// Test and benchmark tap: called on the audio thread with each block of a
// playing channel's samples (signed 16-bit, interleaved stereo) just before
// they are mixed. Keep it short and lock-free. nullptr removes it.
using TapFn = void (*)(int channel, const void *stream, int bytes, void *user);
void setTap(TapFn fn, void *user);

// The path as QFile must be given it to read a file of that name: a name
// starting with ':' would otherwise look into the program's own resources.
QString literalPath(const QString &path);

// Test and benchmark taps on the decoded-sound cache: files decoded so far
// into samples (cache hits and MIDI files do not count), the bytes of samples it holds, and its limit.
int decodeCount();
qint64 cacheBytes();
void setCacheLimit(qint64 bytes);

// Mixer channel that carries an open alias, or -1.
int channelOf(const QString &alias);

// Length of the sound an alias holds, in ms, or -1. A MIDI song's comes
// from its tempo map: the time of its last end of track.
int lengthMs(const QString &alias);

// Where a MIDI alias's song has got to, in ms from its start (at most its
// length; 0 before its first play); -1 for any other alias.
int positionMs(const QString &alias);

// Opens the audio device on a thread of its own, so the first sound does not
// wait for it on the GUI thread (which then waits only if that sound comes
// before the device is open). Nothing when it is open or failed already.
void openAhead();

// After a quiet spell (nothing playing, no speech queued) the device closes,
// so nothing wakes while the board stands still; the driver found at the
// first open is kept and the next sound opens it again. The spell is 5 s;
// tests shorten it. resting(): the device is closed that way; closing():
// it is being closed (on a thread of its own, for a sound server may drain).
void setRestAfter(int ms);
bool resting();
bool closing();

// SDL audio driver in use ("dummy" when no device could be opened); empty
// before the first open.
QString audioDriver();

// Device sample rate in Hz (0 before the first open).
int sampleRate();

// Speech: a mixer channel of its own, which no alias names and "close all"
// leaves alone, fed with mono 16-bit samples while they are synthesised.
// startSpeech (GUI thread) opens the device if need be, silences what was
// said and returns the serial that pushSpeech must name, or 0 when there is
// no audio at all. pushSpeech (any thread) queues samples at `rate` Hz for
// that serial only; false when the serial is stale or the queue is full, so
// a synthesiser stops at once. stopSpeech and speechPlaying: any thread.
quint64 startSpeech();
bool pushSpeech(quint64 serial, const qint16 *mono, size_t frames, int rate);
void stopSpeech();
bool speechPlaying();
int speechChannel(); // -1 before the first startSpeech

// The most speech queued at once.
constexpr int kMaxSpeechSeconds = 300;

} // namespace mci
} // namespace platform
