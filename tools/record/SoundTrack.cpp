#include "tools/record/SoundTrack.h"

#include "platform/mci/MciCommand.h"
#include "platform/mci/MidiSynth.h"
#include "platform/mci/SoundFile.h"

#include <QFile>
#include <algorithm>
#include <cmath>
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
            // Played to its end first: what the board does next is heard after it.
            if (c.wait && (*it)->pcm)
                m_waitUntil = m_position + qint64((*it)->pcm->frames());
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

void SoundTrack::speak(const std::vector<qint16> &mono, int rate)
{
    m_speech.reset();
    if (mono.empty() || rate <= 0)
        return;
    // To the track's rate by straight lines between the voice's samples.
    const size_t frames = size_t(double(mono.size()) * m_rate / rate);
    auto pcm = std::make_shared<Pcm>();
    if (!pcm->resize(frames))
        return;
    for (size_t i = 0; i < frames; ++i) {
        const double at = double(i) * rate / m_rate;
        const size_t k = std::min(size_t(at), mono.size() - 1);
        const double frac = at - double(k);
        const double v = mono[k] + (k + 1 < mono.size() ? (mono[k + 1] - mono[k]) * frac : 0);
        pcm->data()[2 * i] = pcm->data()[2 * i + 1] = qint16(std::lround(v));
    }
    m_speech = std::make_shared<Voice>();
    m_speech->pcm = pcm;
    m_speech->playing = true;
    m_speech->delay = size_t(std::max<qint64>(0, m_waitUntil - m_position));
    m_starts.emplace_back(QStringLiteral("speech"), m_position + qint64(m_speech->delay));
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
    if (m_speech)
        ordered.emplace(QStringLiteral("~speech"), m_speech.get()); // the fourth channel
    for (auto &[alias, v] : ordered) {
        if (!v->playing)
            continue;
        const size_t skip = std::min(v->delay, n);
        v->delay -= skip;
        if (skip == n)
            continue;
        if (v->midi) {
            const bool ended = v->midi->fill(m_block.data(), n);
            for (size_t i = 0; i < n * 2; ++i)
                sum[i] += m_block[i];
            if (ended)
                v->playing = false;
        } else {
            const size_t take = std::min(n - skip, v->pcm->frames() - std::min(v->at, v->pcm->frames()));
            const qint16 *src = v->pcm->data() + v->at * 2;
            for (size_t i = 0; i < take * 2; ++i)
                sum[skip * 2 + i] += src[i];
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
