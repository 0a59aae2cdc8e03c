#pragma once
// The open-file chooser is given its filter in the Windows form: label and
// pattern pairs, each ended by a NUL, the list ended by an extra NUL
// ("音声\0*.wav;*.mp3\0\0"), in code page 932.
#include <QString>

namespace kxp4res {

// Qt's form of that filter: "音声 (*.wav *.mp3);;...". A label that already
// lists its patterns in parentheses keeps its wording; otherwise the patterns
// are appended. "*.*" becomes "*", which also matches names without a dot.
// Reading stops at the list's end and never goes past it; a null or empty
// list gives the empty filter (every file).
QString qtFilterFromWindows(const char *filter);

} // namespace kxp4res
