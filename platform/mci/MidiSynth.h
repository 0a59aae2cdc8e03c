#pragma once
// A MIDI song synthesised while it plays: each open MIDI sound has a
// synthesiser of its own, all of them sharing one loaded SoundFont, and the
// mixer asks it for each block just before the block is heard. So a file of
// any length starts at once, and no rendered copy of it is ever kept.
#include "platform/mci/MidiFile.h"

#include <QtGlobal>

#include <atomic>
#include <memory>

namespace platform::mci {

class MidiSynth {
public:
    // A synthesiser at the song's rate, loading the SoundFont the first time
    // (any thread). nullptr when there is no synthesiser or no SoundFont.
    static std::unique_ptr<MidiSynth> create(std::shared_ptr<const MidiSong> song);
    ~MidiSynth();
    MidiSynth(const MidiSynth &) = delete;
    MidiSynth &operator=(const MidiSynth &) = delete;

    // Back to the start, every voice silent and every controller reset. Not
    // while fill runs for this synthesiser.
    void rewind();

    // The next `frames` frames of interleaved stereo: the song's events at
    // their frames, then the release of the last notes (three seconds at
    // most, never past five minutes), then silence. True on the call in
    // which the sound ended. Any thread; fills of different synthesisers
    // take turns.
    bool fill(qint16 *stereo, size_t frames);

    bool ended() const { return m_ended.load(); }
    // Song time reached, in ms: the frames synthesised so far, at most the length.
    int positionMs() const;
    const MidiSong &song() const { return *m_song; }

    struct Engine; // the FluidSynth objects, and the font they share


private:
    MidiSynth();
    void send(const MidiEvent &e);

    std::unique_ptr<Engine> m_engine;
    std::shared_ptr<const MidiSong> m_song;
    size_t m_next = 0;      // next event to send
    quint64 m_frame = 0;    // frames synthesised since the start
    quint64 m_tailEnd = 0;  // the release ends here at the latest
    bool m_quiet = false;   // nothing left to sound: zeros without the synth
    std::atomic<bool> m_ended{false};
    std::atomic<quint64> m_reached{0};
};

// Loads the shared SoundFont for `rate` Hz now (any thread), so that the
// first MIDI sound need not wait for it.
void prepareMidiFont(int rate);

// Lets go of the shared SoundFont once no synthesiser uses it (at shutdown).
void releaseMidiFont();

} // namespace platform::mci
