#include "sound/TapeList.h"

#include "core/Cp932.h"
#include "core/VbError.h"

#include <QByteArray>

namespace tape {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

QByteArrayView trimmed(QByteArrayView s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.sliced(b, e - b);
}

// Splits one line (without its line end) into at most three fields. In code
// page 932 neither the quote nor the comma is ever the second byte of a
// character, so the bytes can be scanned as they are.
int splitFields(QByteArrayView line, QByteArrayView (&fields)[3])
{
    int n = 0;
    qsizetype i = 0;
    const qsizetype end = line.size();
    for (;;) {
        while (i < end && isBlank(line[i]))
            ++i;
        QByteArrayView field;
        if (i < end && line[i] == '"') {
            const qsizetype close = line.indexOf('"', i + 1);
            if (close < 0)
                vb::raise(vb::ErrInputPastEnd);
            field = line.sliced(i + 1, close - i - 1);
            // Anything between the closing quote and the next comma is dropped.
            const qsizetype comma = line.indexOf(',', close + 1);
            i = comma < 0 ? end : comma;
        } else {
            const qsizetype comma = line.indexOf(',', i);
            const qsizetype stop = comma < 0 ? end : comma;
            field = trimmed(line.sliced(i, stop - i));
            i = stop;
        }
        if (n < 3)
            fields[n] = field;
        ++n;
        if (i >= end || n >= 3)
            return std::min(n, 3);
        ++i; // past the comma
    }
}

} // namespace

int16_t flagValue(QByteArrayView field)
{
    bool ok = false;
    const short v = QByteArray(trimmed(field).toByteArray()).toShort(&ok);
    return ok ? int16_t(v) : int16_t(0);
}

QList<TapeLine> readTapeList(QByteArrayView bytes)
{
    if (bytes.size() > kMaxBytes)
        vb::raise(vb::ErrOutOfMemory);
    if (bytes.isEmpty())
        vb::raise(vb::ErrInputPastEnd);

    QList<TapeLine> lines;
    qsizetype i = 0;
    const qsizetype end = bytes.size();
    while (i < end) {
        // A line ends at CR LF, CR or LF; the end of the file ends the last.
        qsizetype stop = i;
        while (stop < end && bytes[stop] != '\r' && bytes[stop] != '\n')
            ++stop;
        if (lines.size() >= kMaxLines)
            vb::raise(vb::ErrSubscript);
        QByteArrayView fields[3];
        const int n = splitFields(bytes.sliced(i, stop - i), fields);
        TapeLine &t = lines.emplace_back();
        t.TapeText = cp932::decode(fields[0]);
        if (n > 1)
            t.StepFlag = flagValue(fields[1]);
        if (n > 2)
            t.SoundFlag = flagValue(fields[2]);
        i = stop;
        if (i < end && bytes[i] == '\r')
            ++i;
        if (i < end && bytes[i] == '\n')
            ++i;
    }
    return lines;
}

} // namespace tape
