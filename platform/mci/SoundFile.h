#pragma once
// From a file's bytes to what the mixer plays, for each device type the
// player opens. Pure: no audio device, no file system.
#include "platform/mci/Pcm.h"

#include <QByteArrayView>
#include <QStringView>
#include <optional>

namespace platform::mci {

enum class Device { Wave, Mpeg, Sequencer };

// "waveaudio", "mpegvideo", "sequencer" (lower case), or nothing.
std::optional<Device> deviceOf(QStringView type);

// Larger files are refused before they are read (ErrOutOfMemory). A MIDI
// file's events are all held while it plays, so it is kept smaller.
qint64 maxFileBytes(Device device);

// 0 and at most maxFrames(rate) frames in `out`, or an Err code and `out`
// empty. The sequencer is not decoded (ErrUnsupportedFunction): MIDI plays
// through MidiSynth.
int decodeSound(QByteArrayView file, Device device, int rate, Pcm &out);

} // namespace platform::mci
