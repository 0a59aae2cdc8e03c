#pragma once
// What the speech voice is given to say: Japanese text with every word
// written as it is pronounced. The voice reads kana and numbers but not
// kanji, so each word is replaced by its pronunciation from the
// morphological dictionary ("次は、市役所前です。" gives
// "ツギワ、シヤクショマエデス。": the particles は and へ as ワ and エ).
// Kana, numbers (full-width digits as ASCII ones) and punctuation keep their
// sound; a word the dictionary has no pronunciation for is passed as
// written; blanks stay as one blank.
#include <QByteArrayView>
#include <QHash>
#include <QString>

namespace speech {

// A function of the text alone (and of the installed dictionary). Safe to
// call from any thread. Without a dictionary the text comes back unchanged.
QString reading(const QString &text);

// Names said as the user spells them, in place of the dictionary's guess:
// where a listed name appears in a text, its reading (kana; hiragana is said
// as katakana) is said, the longest listed name first. The list holds until
// it is replaced; an empty one leaves every word to the dictionary.
void setUserReadings(const QHash<QString, QString> &readings);

// A reading list as a file holds it, "<route>yomi.csv" beside the
// announcement list: one name a line, "name,reading", in code page 932 (or
// UTF-8 opening with a byte order mark), a field in double quotes may hold
// commas. Lines without both fields are passed over.
QHash<QString, QString> readUserReadings(QByteArrayView bytes);

// Loads the dictionary now, so the first reading does not wait for it.
// Returns false when there is none.
bool loadReadingDictionary();

} // namespace speech
