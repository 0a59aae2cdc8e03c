#pragma once
// What the mixer plays: interleaved stereo signed 16-bit samples at the
// device rate, in one malloc'd block. Every decoder fills one of these, so
// the mixer's own file readers are never reached.
#include <QtGlobal>
#include <algorithm>
#include <cstdlib>
#include <memory>

namespace platform::mci {

// Sounds are decoded whole into memory, so their length is bounded: a small
// file can otherwise expand to gigabytes. Longer sounds are cut here.
constexpr int kMaxSoundSeconds = 300;

class Pcm {
public:
    qint16 *data() const { return m_data.get(); }
    size_t frames() const { return m_frames; }
    size_t bytes() const { return m_frames * 2 * sizeof(qint16); }
    bool resize(size_t frames); // keeps the samples in front; false when out of memory

private:
    struct Free {
        void operator()(qint16 *p) const { std::free(p); }
    };
    std::unique_ptr<qint16, Free> m_data;
    size_t m_frames = 0;
};

inline bool Pcm::resize(size_t newFrames)
{
    void *p = std::realloc(m_data.get(), std::max<size_t>(newFrames, 1) * 2 * sizeof(qint16));
    if (!p)
        return false;
    (void)m_data.release(); // realloc already took it over
    m_data.reset(static_cast<qint16 *>(p));
    m_frames = newFrames;
    return true;
}

// The most frames a sound may hold at `rate` Hz.
constexpr size_t maxFrames(int rate) { return size_t(rate) * kMaxSoundSeconds; }

} // namespace platform::mci
