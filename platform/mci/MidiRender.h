#pragma once
// MIDI files for the "sequencer" device: checked, then rendered once with
// FluidSynth into PCM that plays as an ordinary chunk.
#include "AudioBounds.h"

#include <QByteArrayView>
#include <QtGlobal>
#include <vector>

namespace platform::mci {

// True when every chunk and every event of a Standard MIDI File lies inside
// its bounds. FluidSynth only ever sees files that pass.
bool isWellFormedSmf(QByteArrayView data);

// Renders a well-formed file to interleaved stereo 16-bit PCM at `rate` Hz,
// at most kMaxSoundSeconds long, with the trailing silence trimmed.
// Returns 0 or an Err code.
int renderMidi(QByteArrayView smf, int rate, std::vector<qint16> &out);

// Frees the synthesiser and its SoundFont (at shutdown).
void releaseMidiSynth();

} // namespace platform::mci
