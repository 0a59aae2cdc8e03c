#include "fuzz/FuzzEntries.h"

#include "core/Cp932.h"
#include "platform/mci/Mci.h"
#include "platform/mci/MciCommand.h"
#include "platform/mci/MidiRender.h"
#include "platform/mci/SoundFile.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace fuzz {

namespace {

namespace mci = platform::mci;

constexpr int kRate = 44100;
// The sound open body mixes at a low rate: the same code, twenty times fewer
// samples for the many inputs that claim minutes of sound (a WAV of 2 Hz).
constexpr int kSoundRate = 2000;
constexpr int kMidiBudgetMs = 1000;
constexpr int kMidiSlackMs = 1500; // the first block also reads every event; it cannot be cut short

void require(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

bool oneOf(int e, std::initializer_list<int> codes)
{
    for (int c : codes)
        if (e == c)
            return true;
    return false;
}

// A chunk within the bound, or a numbered failure with nothing held.
void requireSound(int e, const mci::Pcm &pcm, int rate, std::initializer_list<int> failures)
{
    if (e == 0) {
        require(pcm.data() != nullptr && pcm.frames() > 0, "a sound that opens has samples");
        require(pcm.frames() <= mci::maxFrames(rate), "a sound is at most five minutes long");
    } else {
        require(oneOf(e, failures), "a failure carries one of the expected numbers");
        require(pcm.frames() == 0, "a failure holds no samples");
    }
}

QByteArrayView view(const uint8_t *data, size_t size)
{
    return {reinterpret_cast<const char *>(data), qsizetype(size)};
}

} // namespace

int soundOpen(const uint8_t *data, size_t size)
{
    const QByteArrayView file = view(data, size);
    mci::Pcm wave, mpeg;
    const int ew = mci::decodeSound(file, mci::Device::Wave, kSoundRate, wave);
    requireSound(ew, wave, kSoundRate, {mci::ErrInvalidFile, mci::ErrOutOfMemory});
    // The MPEG device reads WAV files too; a long one it is not asked to read twice.
    if (ew == 0 && wave.frames() > size_t(kSoundRate))
        return 0;
    const int em = mci::decodeSound(file, mci::Device::Mpeg, kSoundRate, mpeg);
    requireSound(em, mpeg, kSoundRate, {mci::ErrInvalidFile, mci::ErrOutOfMemory});
    if (ew == 0)
        require(em == 0 && mpeg.frames() == wave.frames()
                    && std::memcmp(mpeg.data(), wave.data(), wave.bytes()) == 0,
                "both devices read a WAV alike");
    return 0;
}

int midiRender(const uint8_t *data, size_t size)
{
    const QByteArrayView file = view(data, size);
    QByteArray plain;
    const int checked = mci::normaliseSmf(file, plain);
    require(oneOf(checked, {0, mci::ErrInvalidFile, mci::ErrOutOfMemory}), "the check answers with a known number");
    if (checked == 0) {
        QByteArray again;
        require(mci::normaliseSmf(plain, again) == 0 && again == plain, "the normalised copy is its own normal form");
    }
    mci::Pcm pcm;
    const auto start = std::chrono::steady_clock::now();
    const int e = mci::renderMidi(file, kRate, pcm, kMidiBudgetMs);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    require(ms.count() <= kMidiBudgetMs + kMidiSlackMs, "a render keeps to its time budget");
    if (checked != 0)
        require(e == checked, "a file the check refuses is never rendered");
    requireSound(e, pcm, kRate, {mci::ErrInvalidFile, mci::ErrOutOfMemory, mci::ErrDeviceNotReady});
    return 0;
}

int mciCommand(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(view(data, size));
    const mci::Parsed p = mci::parseCommand(text);
    require(oneOf(p.error, {0, mci::ErrUnrecognizedKeyword, mci::ErrUnrecognizedCommand, mci::ErrMissingCommandString,
                            mci::ErrMissingParameter, mci::ErrUnsupportedFunction, mci::ErrNoClosingQuote,
                            mci::ErrDuplicateFlags, mci::ErrExtraCharacters}),
            "the parser answers with a known number");
    if (p.error)
        return 0;
    const mci::Command &c = p.cmd;
    require(!c.alias.isEmpty() && c.alias == c.alias.toLower(), "an alias is there, in lower case");
    if (c.verb != mci::Command::Verb::Open)
        return 0;
    require(!c.path.isEmpty() && !c.type.isEmpty() && c.type == c.type.toLower(), "an open names a path and a type");
    // Written out again with the path quoted, the command reads the same.
    if (c.type.contains(u'"') || c.alias.contains(u'"'))
        return 0;
    const QString again = QStringLiteral("open \"%1\" type %2 alias %3%4")
                              .arg(c.path, c.type, c.alias, c.wait ? QStringLiteral(" wait") : QString());
    const mci::Parsed q = mci::parseCommand(again);
    require(q.error == 0 && q.cmd.path == c.path && q.cmd.type == c.type && q.cmd.alias == c.alias
                && q.cmd.wait == c.wait,
            "an open command written out again parses the same");
    return 0;
}

int cp932Text(const uint8_t *data, size_t size)
{
    // As bytes: the text read back writes the same number of bytes and reads
    // the same again (a cut or unassigned code, U+FFFD, excepted).
    const QByteArrayView bytes = view(data, size);
    const QString text = cp932::decode(bytes);
    require(text.size() <= bytes.size(), "no byte reads as two characters");
    if (!text.contains(QChar::ReplacementCharacter)) {
        const QByteArray back = cp932::encode(text);
        require(back.size() == bytes.size(), "every character keeps its width");
        require(cp932::decode(back) == text, "text survives a round trip");
    }
    // As UTF-16: whatever the text, the bytes written are whole characters.
    const QString any(reinterpret_cast<const QChar *>(data), qsizetype(size / 2));
    const QByteArray written = cp932::encode(any);
    require(!cp932::decode(written).contains(QChar::ReplacementCharacter), "encode never writes half a character");
    return 0;
}

Entry entryNamed(const char *name)
{
    const struct {
        const char *name;
        Entry fn;
    } all[] = {{"sound_open", soundOpen}, {"midi_render", midiRender}, {"mci_command", mciCommand}, {"cp932", cp932Text}};
    for (const auto &e : all)
        if (std::strcmp(e.name, name) == 0)
            return e.fn;
    return nullptr;
}

} // namespace fuzz
