#include "tools/record/SoundTrack.h"

#include "platform/mci/MciCommand.h"
#include "platform/mci/MidiSynth.h"
#include "platform/mci/SoundFile.h"

#include <QFile>
#include <algorithm>
#include <map>

namespace record {

using namespace platform::mci;

namespace {
constexpr int kErrCannotOpen = 275; // the player's "file not found"
}

SoundTrack::SoundTrack(int rate) : m_rate(rate) {}
SoundTrack::~SoundTrack() = default;

std::shared_ptr<const Pcm> SoundTrack::decoded(const QString &path, int device, int &error)
{
    if (auto it = m_cache.constFind(path); it != m_cache.constEnd())
        return *it;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        error = kErrCannotOpen;
        return {};
    }
    const QByteArray bytes = f.read(maxFileBytes(Device(device)) + 1);
    auto pcm = std::make_shared<Pcm>();
    error = bytes.size() > maxFileBytes(Device(device)) ? kErrCannotOpen
                                                         : decodeSound(bytes, Device(device), m_rate, *pcm);
    if (error)
        return {};
    m_cache.insert(path, pcm);
    return pcm;
}

int SoundTrack::send(const QString &text)
{
    const Parsed p = parseCommand(text);
    if (p.error)
        return p.error;
    const Command &c = p.cmd;
    switch (c.verb) {
    case Command::Verb::Open: {
        const std::optional<Device> device = deviceOf(c.type);
        if (!device)
            return kErrCannotOpen;
        auto v = std::make_shared<Voice>();
        int error = 0;
        if (*device == Device::Sequencer) {
            QFile f(c.path);
            if (!f.open(QIODevice::ReadOnly))
                return kErrCannotOpen;
            auto song = std::make_shared<MidiSong>();
            if ((error = readMidi(f.read(maxFileBytes(Device::Sequencer) + 1), m_rate, *song)) != 0)
                return error;
            v->midi = MidiSynth::create(song);
            if (!v->midi)
                return kErrCannotOpen;
        } else if (!(v->pcm = decoded(c.path, int(*device), error))) {
            return error;
        }
        m_voices.insert(c.alias, v);
        return 0;
    }
    case Command::Verb::Play:
        if (auto it = m_voices.find(c.alias); it != m_voices.end()) {
            (*it)->at = 0;
            if ((*it)->midi)
                (*it)->midi->rewind();
            (*it)->playing = true;
            m_starts.emplace_back(c.alias, m_position);
        }
        return 0;
    case Command::Verb::Stop:
        if (auto it = m_voices.find(c.alias); it != m_voices.end())
            (*it)->playing = false;
        return 0;
    case Command::Verb::Close:
        if (c.alias == u"all")
            m_voices.clear();
        else
            m_voices.remove(c.alias);
        return 0;
    }
    return 0;
}

void SoundTrack::render(qint16 *stereo, int frames)
{
    const size_t n = size_t(std::max(frames, 0));
    std::vector<int> sum(n * 2, 0);
    m_block.resize(n * 2);
    // Summed in the aliases' order so the same ride gives the same samples.
    std::map<QString, Voice *> ordered;
    for (auto it = m_voices.begin(); it != m_voices.end(); ++it)
        ordered.emplace(it.key(), it->get());
    for (auto &[alias, v] : ordered) {
        if (!v->playing)
            continue;
        if (v->midi) {
            const bool ended = v->midi->fill(m_block.data(), n);
            for (size_t i = 0; i < n * 2; ++i)
                sum[i] += m_block[i];
            if (ended)
                v->playing = false;
        } else {
            const size_t take = std::min(n, v->pcm->frames() - std::min(v->at, v->pcm->frames()));
            const qint16 *src = v->pcm->data() + v->at * 2;
            for (size_t i = 0; i < take * 2; ++i)
                sum[i] += src[i];
            v->at += take;
            if (v->at >= v->pcm->frames())
                v->playing = false;
        }
    }
    for (size_t i = 0; i < n * 2; ++i)
        stereo[i] = qint16(std::clamp(sum[i], -32768, 32767));
    m_position += qint64(n);
}

} // namespace record
