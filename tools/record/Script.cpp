#include "tools/record/Script.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

namespace record {

namespace {
// A day is more than any ride; later times are a typing slip.
constexpr double kMaxSeconds = 24 * 3600;

bool onOff(const QString &word, int &value)
{
    if (word == u"on")
        value = 1;
    else if (word == u"off")
        value = 0;
    else
        return false;
    return true;
}
} // namespace

Script parseScript(const QByteArray &text)
{
    Script s;
    if (text.size() > kMaxScriptBytes) {
        s.error = QStringLiteral("the script is too long");
        return s;
    }
    const QStringList lines = QString::fromUtf8(text).split(u'\n');
    for (int n = 0; n < lines.size(); ++n) {
        const QString line = lines[n].trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const auto bad = [&](const QString &why) {
            s.error = QStringLiteral("line %1: %2: %3").arg(n + 1).arg(why, line);
            s.actions.clear();
            return s;
        };
        const qsizetype comma = line.indexOf(u',');
        if (comma < 0)
            return bad(QStringLiteral("expected seconds,action"));
        bool ok = false;
        const double seconds = line.left(comma).trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(seconds) || seconds < 0 || seconds > kMaxSeconds)
            return bad(QStringLiteral("not a time in seconds"));
        const QStringList words = line.mid(comma + 1).simplified().toLower().split(u' ', Qt::SkipEmptyParts);
        Action a;
        a.ms = qint64(std::llround(seconds * 1000));
        const QString verb = words.value(0), arg = words.value(1);
        const int count = int(words.size());
        if (verb == u"load" && count == 1 && a.ms == 0)
            continue; // the implied load, written out
        if (verb == u"step" && count == 1)
            a.kind = Action::Kind::Step;
        else if (verb == u"back" && count == 1)
            a.kind = Action::Kind::Back;
        else if (verb == u"say" && count == 1)
            a.kind = Action::Kind::Say;
        else if (verb == u"clear" && count == 2 && onOff(arg, a.value))
            a.kind = Action::Kind::Clear;
        else if (verb == u"night" && count == 2 && onOff(arg, a.value))
            a.kind = Action::Kind::Night;
        else if (verb == u"backlight" && count == 2 && (a.value = arg.toInt(&ok), ok) && a.value >= 0 && a.value <= 2)
            a.kind = Action::Kind::Backlight;
        else
            return bad(QStringLiteral("unknown action (step, back, say, clear on|off, night on|off, backlight 0..2)"));
        s.actions.append(a);
    }
    std::stable_sort(s.actions.begin(), s.actions.end(), [](const Action &x, const Action &y) { return x.ms < y.ms; });
    return s;
}

} // namespace record
