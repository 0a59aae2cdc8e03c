#pragma once
// The announcement list of a route ("<route>tp.csv"): one announcement a
// line, in code page 932, three comma-separated fields
//   text, step flag, sound flag
// read as the comma-separated field input reads them: a field in double
// quotes may hold commas; blanks around an unquoted field are dropped.
// No file I/O here: the reader takes the file's bytes.
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <cstdint>

namespace tape {

struct TapeLine {
    QString TapeText;
    int16_t StepFlag = 0;  // 1: the fares step along
    int16_t SoundFlag = 0; // 1..3: the sound played first
};

// A route has a few hundred stops and a few lines per stop; a file far past
// that is not an announcement list and is not read into memory.
constexpr qsizetype kMaxBytes = qsizetype(1) << 20;
constexpr int kMaxLines = 10000;

// Every line is one entry, blank lines too (they say nothing), so the
// positions the console steps through are the file's line numbers. A line
// with fewer than three fields has flag 0 for the missing ones, and fields
// past the third are ignored, so one odd line never shifts the lines after
// it. Errors: 62 for an empty file or a quote left open, 7 past kMaxBytes,
// 9 past kMaxLines.
QList<TapeLine> readTapeList(QByteArrayView bytes);

// A flag field: a whole number in 16 bits, else 0 (so a stray word or a
// huge number never selects a sound or a step).
int16_t flagValue(QByteArrayView field);

} // namespace tape
