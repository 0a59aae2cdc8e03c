#pragma once
// MIDI files for the "sequencer" device: checked, rewritten into a plain form
// and read into one list of events timed in sample frames, which MidiSynth
// plays while the channel sounds. Pure: no synthesiser, no audio device.
#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

#include <vector>

namespace platform::mci {

// Far more than a board's sound of five minutes needs; beyond it the synth
// would spend most of its time on the events alone.
constexpr int kMaxMidiEvents = 100'000;
constexpr int kMaxMidiSysex = 256;

// Checks a Standard MIDI File and writes a plain copy of it: every channel
// event with its status byte spelled out (running status is read once, here,
// and survives meta and system exclusive events), meta events no synth has
// use for reduced to empty text events that keep their timing, every track
// closed by exactly one end-of-track. Returns 0, ErrInvalidFile, or
// ErrOutOfMemory past kMaxMidiEvents or kMaxMidiSysex.
int normaliseSmf(QByteArrayView smf, QByteArray &out);

struct MidiEvent {
    quint32 frame = 0; // from the start of the song
    quint8 status = 0; // a channel message's status byte, or 0xF0
    quint8 data1 = 0, data2 = 0;
    quint32 sysexAt = 0, sysexLen = 0; // 0xF0: its bytes in MidiSong::sysex, without F0 and the closing F7
};

struct MidiSong {
    int rate = 0;
    std::vector<MidiEvent> events; // by frame; at the same time, by track and then as written
    QByteArray sysex;
    quint32 endFrame = 0; // the latest end of track, at most five minutes
    int lengthMs = 0;     // the same in milliseconds, from the tempo map
};

// Checks the file as normaliseSmf does and times its events for `rate` Hz.
// All tracks play at once (format 2 too); a tempo in any track sets the pace
// of all. What comes after five minutes is left out: the song ends there.
// Returns 0 or normaliseSmf's code; `out` is empty on failure.
int readMidi(QByteArrayView smf, int rate, MidiSong &out);

} // namespace platform::mci
