// Fuzz entry for the .4SP reader: any bytes either read as a plug-in or fail
// with a numbered error. What it reads is also expanded and encoded as a
// print would, so the text and barcode paths see hostile plug-ins too.
#include "core/VbError.h"
#include "helperlib/Codabar.h"
#include "helperlib/Plugin4sp.h"

#include <cstddef>
#include <cstdint>

int fuzzPlugin(const uint8_t *data, size_t size)
{
    plugin::Plugin p;
    try {
        p = plugin::readPlugin(QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)));
    } catch (const vb::Error &) {
        return 0;
    }
    for (const plugin::Item &item : p.items) {
        if (item.kind != plugin::Kind::Barcode)
            continue;
        QByteArray symbol(1, item.start);
        for (const plugin::Segment &s : item.segments)
            symbol += s.source == plugin::Source::Literal ? s.literal.toLatin1() : QByteArray(s.digits, '9');
        symbol += item.stop;
        if (codabar::elements(symbol, 1).isEmpty())
            __builtin_trap(); // the reader let through a symbol the encoder refuses
    }
    return 0;
}
