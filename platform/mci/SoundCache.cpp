#include "platform/mci/SoundCache.h"

#include <algorithm>

namespace platform::mci {

std::optional<SoundCache::Entry> SoundCache::find(const Key &key)
{
    const auto it = std::find_if(m_items.begin(), m_items.end(), [&](const auto &i) { return i.first == key; });
    if (it == m_items.end())
        return std::nullopt;
    m_items.splice(m_items.begin(), m_items, it);
    return it->second;
}

void SoundCache::insert(const Key &key, Entry entry)
{
    const auto it = std::find_if(m_items.begin(), m_items.end(), [&](const auto &i) { return i.first == key; });
    if (it != m_items.end()) {
        m_bytes -= cost(it->second);
        m_items.erase(it);
    }
    if (cost(entry) > m_limit)
        return;
    m_bytes += cost(entry);
    m_items.emplace_front(key, std::move(entry));
    trim();
}

void SoundCache::setLimit(qint64 bytes)
{
    m_limit = bytes;
    trim();
}

void SoundCache::trim()
{
    while (!m_items.empty() && (m_bytes > m_limit || int(m_items.size()) > m_maxEntries)) {
        m_bytes -= cost(m_items.back().second);
        m_items.pop_back();
    }
}

} // namespace platform::mci
