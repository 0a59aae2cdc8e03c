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
int pluginFile(const uint8_t *data, size_t size); // the .4SP ticket plug-in reader, its barcodes encoded
int pluginDraw(const uint8_t *data, size_t size); // a .4SP read and drawn with a stop name from the input, timed
int tapeList(const uint8_t *data, size_t size);   // the announcement list (tp.csv)
int fareFile(const uint8_t *data, size_t size);   // the .hy3 fare data, written and read again, installed
int iniFile(const uint8_t *data, size_t size);    // the .in4 settings, written and read again
int byteText(const uint8_t *data, size_t size);   // the helper library's LenB/MidB
int pictureFile(const uint8_t *data, size_t size); // the backlight picture decoder
int gtfsFeed(const uint8_t *data, size_t size);  // a GTFS feed: one file of a small feed from the input, or the input as a .zip
int gtfsRows(const uint8_t *data, size_t size); // rows of a feed file streamed past its bounds, the heap checked
int nmeaFollow(const uint8_t *data, size_t size); // NMEA lines through the ride follower; the stops file
int nmeaStream(const uint8_t *data, size_t size); // NMEA in pieces through the bounded line reader

// By name (the corpus folder: "sound_open", "plugin", "fare_file"...), or nullptr.
Entry entryNamed(const char *name);

} // namespace fuzz
