#include "platform/mci/SpeechQueue.h"

#include "platform/mci/Mci.h"

#include <algorithm>

namespace platform::mci {

quint64 SpeechQueue::start(int deviceRate)
{
    std::lock_guard lock(m_mutex);
    clearLocked();
    m_rate = deviceRate;
    return ++m_serial;
}

void SpeechQueue::stop()
{
    std::lock_guard lock(m_mutex);
    clearLocked();
    ++m_serial;
}

bool SpeechQueue::push(quint64 serial, const qint16 *mono, size_t frames, int rate)
{
    std::lock_guard lock(m_mutex);
    if (serial != m_serial || rate <= 0 || m_rate <= 0)
        return false;
    const size_t limit = size_t(m_rate) * kMaxSpeechSeconds * 2;
    // Linear interpolation from the synthesiser's rate, carried across
    // blocks so their seams do not click.
    const double step = double(rate) / m_rate;
    for (size_t i = 0; i < frames; ++i) {
        const double next = mono[i];
        while (m_phase < 1.0) {
            if (m_samples.size() - m_read >= limit)
                return false;
            const auto v = qint16(m_last + (next - m_last) * m_phase);
            m_samples.push_back(v);
            m_samples.push_back(v);
            m_phase += step;
        }
        m_phase -= 1.0;
        m_last = next;
    }
    return true;
}

void SpeechQueue::fill(qint16 *out, size_t samples)
{
    std::lock_guard lock(m_mutex);
    const size_t n = std::min(samples, m_samples.size() - m_read);
    std::copy_n(m_samples.data() + m_read, n, out);
    std::fill(out + n, out + samples, qint16(0));
    m_read += n;
    if (m_read == m_samples.size())
        clearLocked();
}

bool SpeechQueue::playing()
{
    std::lock_guard lock(m_mutex);
    return m_read < m_samples.size();
}

void SpeechQueue::clearLocked()
{
    m_samples.clear();
    m_samples.shrink_to_fit();
    m_read = 0;
    m_phase = 0;
    m_last = 0;
}

} // namespace platform::mci
