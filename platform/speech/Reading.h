#pragma once
// What the speech voice is given to say: Japanese text with every word
// written as it is pronounced. The voice reads kana and numbers but not
// kanji, so each word is replaced by its pronunciation from the
// morphological dictionary ("次は、市役所前です。" gives
// "ツギワ、シヤクショマエデス。": the particles は and へ as ワ and エ).
// Kana, numbers (full-width digits as ASCII ones) and punctuation keep their
// sound; a word the dictionary has no pronunciation for is passed as
// written; blanks stay as one blank.
#include <QString>

namespace speech {

// A function of the text alone (and of the installed dictionary). Safe to
// call from any thread. Without a dictionary the text comes back unchanged.
QString reading(const QString &text);

// Loads the dictionary now, so the first reading does not wait for it.
// Returns false when there is none.
bool loadReadingDictionary();

} // namespace speech
