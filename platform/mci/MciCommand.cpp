#include "platform/mci/MciCommand.h"

#include "platform/mci/Mci.h"

#include <QStringList>

namespace platform::mci {

namespace {

QStringList words(QStringView s)
{
    QStringList out;
    qsizetype start = -1;
    for (qsizetype i = 0; i <= s.size(); ++i) {
        const bool blank = i == s.size() || s[i].isSpace();
        if (blank && start >= 0) {
            out << s.mid(start, i - start).toString();
            start = -1;
        } else if (!blank && start < 0) {
            start = i;
        }
    }
    return out;
}

qsizetype firstBlank(QStringView s)
{
    for (qsizetype i = 0; i < s.size(); ++i)
        if (s[i].isSpace())
            return i;
    return -1;
}

// The flags that may follow the device name; each at most once.
int parseFlags(const QStringList &w, qsizetype from, Command &c, bool allowFrom, bool allowOpenFlags)
{
    bool seenWait = false, seenFrom = false, seenType = false, seenAlias = false;
    for (qsizetype i = from; i < w.size(); ++i) {
        const QString k = w[i].toLower();
        bool *seen = nullptr;
        if (k == u"wait") {
            seen = &seenWait;
            c.wait = true;
        } else if (k == u"from" && allowFrom) {
            seen = &seenFrom;
            if (i + 1 >= w.size())
                return ErrMissingParameter;
            bool ok = false;
            const long long pos = w[++i].toLongLong(&ok);
            if (!ok)
                return ErrMissingParameter;
            if (pos != 0) // only "from 0" is ever asked for
                return ErrUnsupportedFunction;
        } else if ((k == u"type" || k == u"alias") && allowOpenFlags) {
            seen = k == u"type" ? &seenType : &seenAlias;
            if (i + 1 >= w.size())
                return ErrMissingParameter;
            (k == u"type" ? c.type : c.alias) = w[++i].toLower();
        } else {
            return ErrUnrecognizedKeyword;
        }
        if (*seen)
            return ErrDuplicateFlags;
        *seen = true;
    }
    if (allowOpenFlags && (!seenType || !seenAlias))
        return ErrMissingParameter;
    return 0;
}

Parsed parseOpen(QStringView rest)
{
    Parsed p;
    p.cmd.verb = Command::Verb::Open;
    rest = rest.trimmed();
    QStringView flags;
    if (rest.startsWith(u'"')) {
        // The path ends at the last quote: a Linux file name may itself
        // contain quotes, while the flags after it never do.
        const qsizetype close = rest.lastIndexOf(u'"');
        if (close <= 0)
            return {ErrNoClosingQuote, {}};
        p.cmd.path = rest.mid(1, close - 1).toString();
        flags = rest.mid(close + 1);
        if (!flags.isEmpty() && !flags.front().isSpace())
            return {ErrExtraCharacters, {}};
    } else {
        const qsizetype sp = firstBlank(rest);
        p.cmd.path = (sp < 0 ? rest : rest.left(sp)).toString();
        flags = sp < 0 ? QStringView() : rest.mid(sp);
    }
    if (p.cmd.path.isEmpty())
        return {ErrMissingParameter, {}};
    p.error = parseFlags(words(flags), 0, p.cmd, false, true);
    return p;
}

} // namespace

Parsed parseCommand(const QString &text)
{
    // Any white space separates words; inside quotes it belongs to the path.
    const QStringView v = QStringView(text).trimmed();
    if (v.isEmpty())
        return {ErrMissingCommandString, {}};

    const qsizetype sp = firstBlank(v);
    const QString verb = (sp < 0 ? v : v.left(sp)).toString().toLower();
    const QStringView rest = sp < 0 ? QStringView() : v.mid(sp + 1);

    if (verb == u"open")
        return parseOpen(rest);

    Parsed p;
    if (verb == u"play")
        p.cmd.verb = Command::Verb::Play;
    else if (verb == u"stop")
        p.cmd.verb = Command::Verb::Stop;
    else if (verb == u"close")
        p.cmd.verb = Command::Verb::Close;
    else
        return {ErrUnrecognizedCommand, {}};

    const QStringList w = words(rest);
    if (w.isEmpty())
        return {ErrMissingParameter, {}};
    p.cmd.alias = w[0].toLower();
    if (p.cmd.alias == u"all" && p.cmd.verb != Command::Verb::Close)
        return {ErrUnsupportedFunction, {}};
    p.error = parseFlags(w, 1, p.cmd, p.cmd.verb == Command::Verb::Play, false);
    return p;
}

} // namespace platform::mci
