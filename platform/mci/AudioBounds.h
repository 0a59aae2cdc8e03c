#pragma once
// Sounds are decoded whole into memory, so their length is bounded before
// decoding: a small file can otherwise expand to gigabytes (a low sample
// rate, a low MP3 bit rate). Longer sounds are cut at the bound.
#include <QByteArray>
#include <QByteArrayView>

namespace platform::mci {

constexpr int kMaxSoundSeconds = 300;

bool isRiffWave(QByteArrayView d);
bool looksLikeMpegAudio(QByteArrayView d); // ID3 tag or a frame header at the start

// The file cut to at most `seconds` of sound (its data chunk shortened), or
// unchanged when shorter or not understood (the decoder then has its say).
QByteArray boundWave(const QByteArray &d, int seconds);

// Bytes of an MPEG audio stream that hold at most `seconds` of sound.
qsizetype mpegPrefix(QByteArrayView d, int seconds);

} // namespace platform::mci
