#pragma once
// The fuzz targets' bodies. Each takes any bytes, runs them through one
// reader of the program and aborts when a result breaks what the reader
// promises (a bound, an error number, a round trip). libFuzzer calls them in
// the fuzz build; the corpus runner feeds them the committed corpora in every
// build, so the seeds and reproducers are also ordinary tests.
#include <cstddef>
#include <cstdint>

namespace fuzz {

using Entry = int (*)(const uint8_t *data, size_t size);

int soundOpen(const uint8_t *data, size_t size);  // WAV and MP3 decoding for both devices
int midiRender(const uint8_t *data, size_t size); // MIDI check, normalised copy and render, timed
int mciCommand(const uint8_t *data, size_t size); // the MCI command parser
int cp932Text(const uint8_t *data, size_t size);  // the code page 932 converter

// By name ("sound_open", "midi_render", "mci_command", "cp932"), or nullptr.
Entry entryNamed(const char *name);

} // namespace fuzz
