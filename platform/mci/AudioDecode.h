#pragma once
// WAV and MP3 files for the "waveaudio" and "mpegvideo" devices, decoded with
// libsndfile (WAV) and libmpg123 (MP3) into what the mixer plays. Pure: bytes
// in, samples or an Err out, and nothing written to the error output.
#include "platform/mci/Pcm.h"

#include <QByteArrayView>

namespace platform::mci {

// The wave device reads RIFF WAVE only; the MPEG device MP3 as well.
enum class AudioKind { Wave, WaveOrMpeg };

// At most kMaxSoundSeconds of the file's sound, resampled to `rate` Hz
// stereo. Returns 0 or an Err code; `out` is empty on failure.
int decodeAudio(QByteArrayView file, AudioKind kind, int rate, Pcm &out);

} // namespace platform::mci
