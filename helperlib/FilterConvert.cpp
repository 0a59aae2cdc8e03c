#include "helperlib/FilterConvert.h"

#include "core/Cp932.h"

#include <QRegularExpression>
#include <QStringList>
#include <cstring>

namespace kxp4res {

namespace {

QStringList patternsOf(const QString &text)
{
    static const QRegularExpression sep(QStringLiteral("[;,\\s]+"));
    QStringList out;
    for (const QString &p : text.split(sep, Qt::SkipEmptyParts))
        out.append(p == QLatin1String("*.*") ? QStringLiteral("*") : p);
    return out;
}

bool samePatterns(QStringList a, QStringList b)
{
    for (QString &s : a)
        s = s.toLower();
    for (QString &s : b)
        s = s.toLower();
    a.sort();
    b.sort();
    return a == b;
}

QString entry(QString label, const QString &patternText)
{
    QStringList patterns = patternsOf(patternText);
    if (patterns.isEmpty())
        patterns.append(QStringLiteral("*"));
    const QString group = QLatin1Char('(') + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');

    // Qt reads the patterns from the label's last parenthesised group, and
    // only when they are separated by spaces: a label showing "(*.wav;*.mp3)"
    // gets its group rewritten, never a second one.
    static const QRegularExpression shown(QStringLiteral("\\(([^()]*)\\)\\s*$"));
    const QRegularExpressionMatch m = shown.match(label);
    if (m.hasMatch() && samePatterns(patternsOf(m.captured(1)), patterns))
        label.truncate(m.capturedStart());
    label = label.trimmed();
    return label.isEmpty() ? group : label + QLatin1Char(' ') + group;
}

} // namespace

QString qtFilterFromWindows(const char *filter)
{
    QStringList entries;
    if (!filter)
        return QString();
    const char *p = filter;
    // Each step stands on the first byte of a label; an empty label is the
    // list's closing NUL. A label whose pattern is that closing NUL ends it too.
    while (*p) {
        const char *label = p;
        p += std::strlen(p) + 1;
        if (!*p)
            break;
        const char *pattern = p;
        p += std::strlen(p) + 1;
        entries.append(entry(cp932::decodeC(label), cp932::decodeC(pattern)));
    }
    return entries.join(QStringLiteral(";;"));
}

} // namespace kxp4res
