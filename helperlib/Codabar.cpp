#include "helperlib/Codabar.h"

#include <cstring>

namespace codabar {

namespace {

// Bar, space, bar, space, bar, space, bar; 1 = wide.
struct Pattern {
    char c;
    const char *wide;
};
constexpr Pattern kPatterns[] = {
    {'0', "0000011"}, {'1', "0000110"}, {'2', "0001001"}, {'3', "1100000"}, {'4', "0010010"},
    {'5', "1000010"}, {'6', "0100001"}, {'7', "0100100"}, {'8', "0110000"}, {'9', "1001000"},
    {'-', "0001100"}, {'$', "0011000"}, {':', "1000101"}, {'/', "1010001"}, {'.', "1010100"},
    {'+', "0010101"}, {'A', "0011010"}, {'B', "0101001"}, {'C', "0001011"}, {'D', "0001110"},
};

const char *pattern(char c)
{
    for (const Pattern &p : kPatterns)
        if (p.c == c)
            return p.wide;
    return nullptr;
}

bool isStartStop(char c) { return c >= 'A' && c <= 'D'; }

} // namespace

QList<int> elements(QByteArrayView symbol, int narrow)
{
    if (narrow < 1 || symbol.size() < 2 || !isStartStop(symbol.front()) || !isStartStop(symbol.back()))
        return {};
    for (qsizetype i = 1; i + 1 < symbol.size(); ++i)
        if (isStartStop(symbol[i]) || !pattern(symbol[i]))
            return {};
    const int wide = wideFor(narrow);
    QList<int> out;
    out.reserve(symbol.size() * 8 + 2);
    out.append(kQuietNarrow * narrow);
    for (qsizetype i = 0; i < symbol.size(); ++i) {
        if (i > 0)
            out.append(narrow); // the gap between characters
        const char *p = pattern(symbol[i]);
        for (int e = 0; e < 7; ++e)
            out.append(p[e] == '1' ? wide : narrow);
    }
    out.append(kQuietNarrow * narrow);
    return out;
}

int width(QByteArrayView symbol, int narrow)
{
    int w = 0;
    for (int e : elements(symbol, narrow))
        w += e;
    return w;
}

} // namespace codabar
