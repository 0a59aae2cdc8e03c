// Fuzz entry for the announcement list reader: any bytes either read as
// lines or fail with a numbered error, and what it reads keeps its bounds.
#include "core/VbError.h"
#include "sound/TapeList.h"

#include <cstddef>
#include <cstdint>

int fuzzTape(const uint8_t *data, size_t size)
{
    QList<tape::TapeLine> lines;
    try {
        lines = tape::readTapeList(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)));
    } catch (const vb::Error &) {
        return 0;
    }
    if (lines.isEmpty() || lines.size() > tape::kMaxLines || lines.size() > qsizetype(size))
        __builtin_trap(); // every line takes a byte at least
    qsizetype chars = 0;
    for (const tape::TapeLine &l : lines)
        chars += l.TapeText.size();
    if (chars > qsizetype(size))
        __builtin_trap(); // one byte never decodes to more than one character
    return 0;
}
