#pragma once
// The texts of the settings file carry a 16-bit byte count in code page 932,
// so a text box that feeds one holds at most that many bytes. Typing or
// pasting past it keeps only what fits, cut between characters.
#include <QString>

namespace storedtext {

constexpr int kMaxBytes = 65535;

// The bytes a text takes in the settings file.
int byteCount(const QString &text);

struct Edit {
    QString text;  // what the box keeps
    int cursor;    // where the cursor stands in it
    bool cut;      // part or all of what was inserted did not fit
    bool refused;  // none of it fitted: the box stays as it was
};

// An edit of a box from `before` to `after` (cursor at `cursor` in `after`).
// An edit that fits, or that does not make the text longer in bytes, stays
// whole; otherwise the inserted characters are kept as far as they fit.
Edit fit(const QString &before, const QString &after, int cursor, int maxBytes = kMaxBytes);

} // namespace storedtext
