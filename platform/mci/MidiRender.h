#pragma once
// MIDI files for the "sequencer" device: checked, then rendered once with
// FluidSynth into PCM that plays as an ordinary chunk.
#include "platform/mci/AudioBounds.h"

#include <QByteArrayView>
#include <QtGlobal>
#include <cstdlib>
#include <memory>

namespace platform::mci {

// True when every chunk and every event of a Standard MIDI File lies inside
// its bounds. FluidSynth only ever sees files that pass.
bool isWellFormedSmf(QByteArrayView data);

// Interleaved stereo 16-bit samples in one malloc'd block.
class Pcm {
public:
    qint16 *data() const { return m_data.get(); }
    size_t frames() const { return m_frames; }
    bool resize(size_t frames); // keeps the samples in front; false when out of memory

private:
    struct Free {
        void operator()(qint16 *p) const { std::free(p); }
    };
    std::unique_ptr<qint16, Free> m_data;
    size_t m_frames = 0;
};

// Renders a well-formed file to interleaved stereo 16-bit PCM at `rate` Hz,
// at most kMaxSoundSeconds long, with the trailing silence trimmed.
// Returns 0 or an Err code.
int renderMidi(QByteArrayView smf, int rate, Pcm &out);

// Frees the synthesiser and its SoundFont (at shutdown).
void releaseMidiSynth();

} // namespace platform::mci
