#pragma once
// The recording's sound: the MCI commands the board sends, taken at the
// recording's clock, played offline through the program's own decoders and
// MIDI synthesiser into one stereo track, the four channels summed as the
// mixer sums them.
#include "platform/mci/Pcm.h"

#include <QHash>
#include <QString>
#include <memory>
#include <vector>

namespace platform::mci {
class MidiSynth;
}

namespace record {

class SoundTrack {
public:
    explicit SoundTrack(int rate);
    ~SoundTrack();

    // One MCI command string, sent at the track's current end. Answers as
    // the player would: 0, or an error for what cannot be opened.
    int send(const QString &command);
    // A spoken line from now, mono at `rate`, in place of the one before;
    // stopSpeech silences it.
    void speak(const std::vector<qint16> &mono, int rate);
    void stopSpeech() { m_speech.reset(); }
    // The next `frames` frames of interleaved stereo.
    void render(qint16 *stereo, int frames);
    // The frame the track has reached (where a command now takes effect).
    qint64 position() const { return m_position; }
    // Frames at which each "play" started, by alias (tests and checks).
    const std::vector<std::pair<QString, qint64>> &starts() const { return m_starts; }

private:
    struct Voice {
        std::shared_ptr<const platform::mci::Pcm> pcm; // wave and MP3
        std::unique_ptr<platform::mci::MidiSynth> midi;
        size_t at = 0;
        size_t delay = 0; // silent frames before it starts
        bool playing = false;
    };
    std::shared_ptr<const platform::mci::Pcm> decoded(const QString &path, int device, int &error);

    int m_rate;
    qint64 m_position = 0;
    QHash<QString, std::shared_ptr<Voice>> m_voices; // by alias, in the order opened
    QHash<QString, std::shared_ptr<const platform::mci::Pcm>> m_cache;
    std::vector<std::pair<QString, qint64>> m_starts;
    std::vector<qint16> m_block;
    std::shared_ptr<Voice> m_speech;
    qint64 m_waitUntil = 0; // a sound played to its end before what follows ends here
};

} // namespace record
