#pragma once
// MIDI files for the "sequencer" device: checked and rewritten into a plain
// form, then rendered with FluidSynth into PCM that plays as any other chunk.
#include "platform/mci/Pcm.h"

#include <QByteArray>
#include <QByteArrayView>

namespace platform::mci {

// Far more than a board's sound of five minutes needs; beyond it the synth
// would spend seconds on the events alone.
constexpr int kMaxMidiEvents = 100'000;
constexpr int kMaxMidiSysex = 256;
// Longest a render may take before the open gives up with ErrDeviceNotReady.
constexpr int kMidiRenderBudgetMs = 4000;

// Checks a Standard MIDI File and writes the copy FluidSynth is given: every
// channel event with its status byte spelled out (running status is read
// once, here, and survives meta and system exclusive events), meta events the
// synth has no use for reduced to empty text events that keep their timing,
// every track closed by exactly one end-of-track. Returns 0, ErrInvalidFile,
// or ErrOutOfMemory past kMaxMidiEvents or kMaxMidiSysex.
int normaliseSmf(QByteArrayView smf, QByteArray &out);

// Renders a file to stereo 16-bit PCM at `rate` Hz, at most kMaxSoundSeconds
// long, with the trailing silence trimmed. Safe to call from any thread (one
// render at a time). Returns 0 or an Err code.
int renderMidi(QByteArrayView smf, int rate, Pcm &out, int budgetMs = kMidiRenderBudgetMs);

// Frees the synthesiser and its SoundFont (at shutdown).
void releaseMidiSynth();

} // namespace platform::mci
