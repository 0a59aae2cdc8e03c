#pragma once
// Speech samples on their way to the mixer, at the device rate in stereo.
// The audio thread takes from the front; synthesis threads append. A line
// begun (start) or stopped takes a new serial: samples pushed for an older
// one are dropped.
#include <QtGlobal>

#include <cstddef>
#include <mutex>
#include <vector>

namespace platform::mci {

class SpeechQueue {
public:
    quint64 start(int deviceRate);
    void stop();
    // Converts from the synthesiser's rate; false for a stale serial or a
    // queue at its bound.
    bool push(quint64 serial, const qint16 *mono, size_t frames, int rate);
    // Audio thread: fills the block with speech, or silence past its end.
    void fill(qint16 *out, size_t samples);
    bool playing();

private:
    void clearLocked();

    std::mutex m_mutex;
    std::vector<qint16> m_samples;
    size_t m_read = 0;
    quint64 m_serial = 0;
    int m_rate = 0;
    double m_phase = 0, m_last = 0;
};

} // namespace platform::mci
