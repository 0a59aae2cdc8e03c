#include "core/StoredText.h"

#include "core/Cp932.h"

namespace storedtext {

int byteCount(const QString &text)
{
    return int(cp932::encode(text).size());
}

Edit fit(const QString &before, const QString &after, int cursor, int maxBytes)
{
    const int bytes = byteCount(after);
    if (bytes <= maxBytes || bytes <= byteCount(before))
        return {after, cursor, false, false};

    // The inserted run: what lies between the parts both texts share. Typing
    // and pasting leave the cursor at its end, with the text after it as it was.
    const qsizetype shorter = qMin(before.size(), after.size());
    qsizetype tail = after.size() - qBound(qsizetype(0), qsizetype(cursor), after.size());
    if (tail > before.size() || QStringView(after).right(tail) != QStringView(before).right(tail)) {
        tail = 0;
        while (tail < shorter && before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
            ++tail;
    }
    qsizetype head = 0;
    while (head < shorter - tail && before[head] == after[head])
        ++head;
    // Never split a surrogate pair at either edge.
    if (head > 0 && after[head - 1].isHighSurrogate())
        --head;
    if (tail > 0 && after[after.size() - tail].isLowSurrogate())
        --tail;
    const QString inserted = after.mid(head, after.size() - head - tail);

    int budget = maxBytes - (bytes - byteCount(inserted));
    qsizetype keep = 0;
    while (keep < inserted.size()) {
        const qsizetype n = inserted[keep].isHighSurrogate() && keep + 1 < inserted.size() ? 2 : 1;
        const int b = byteCount(inserted.mid(keep, n));
        if (b > budget)
            break;
        budget -= b;
        keep += n;
    }
    if (keep == 0)
        return {before, int(head), true, true};
    return {after.left(head) + inserted.left(keep) + after.right(tail), int(head + keep), true, false};
}

} // namespace storedtext
