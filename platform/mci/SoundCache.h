#pragma once
// Decoded sounds kept for the next open of the same file: stepping through a
// route plays the same few files again and again. A file is the same while
// its path, size and modification time are; the least recently used sound
// goes first once the samples held pass the limit. What failed to decode is
// kept too (it costs nothing), so a bad file is not tried at every step.
#include "platform/mci/Pcm.h"

#include <QString>
#include <QtGlobal>

#include <list>
#include <memory>
#include <optional>

namespace platform::mci {

class SoundCache {
public:
    struct Key {
        QString path;
        qint64 size = 0;
        qint64 mtimeMs = 0;
        int device = 0; // what reads the file: a WAV fails on the MIDI device
        int rate = 0;
        bool operator==(const Key &) const = default;
    };
    struct Entry {
        int error = 0; // 0, or the Err the decode ended with
        std::shared_ptr<const Pcm> pcm;
    };

    explicit SoundCache(qint64 limitBytes = qint64(64) << 20, int maxEntries = 256)
        : m_limit(limitBytes), m_maxEntries(maxEntries) {}

    std::optional<Entry> find(const Key &key);
    void insert(const Key &key, Entry entry); // a sound larger than the limit is not kept
    void setLimit(qint64 bytes);
    void clear() { m_items.clear(), m_bytes = 0; }

    qint64 bytes() const { return m_bytes; }
    int size() const { return int(m_items.size()); }

private:
    static qint64 cost(const Entry &e) { return e.pcm ? qint64(e.pcm->bytes()) : 0; }
    void trim();

    std::list<std::pair<Key, Entry>> m_items; // most recently used first
    qint64 m_bytes = 0;
    qint64 m_limit;
    int m_maxEntries;
};

} // namespace platform::mci
