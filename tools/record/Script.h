#pragma once
// A recorded ride's script: one `seconds,action` a line (`3.5,step`), blank
// lines and lines starting with # ignored. The load at 0 is implied.
#include <QByteArray>
#include <QList>
#include <QString>

namespace record {

struct Action {
    enum class Kind { Step, Back, Say, Clear, Night, Backlight };
    qint64 ms = 0;
    Kind kind = Kind::Step;
    int value = 0; // Clear/Night: 1 on, 0 off; Backlight: 0..2
};

struct Script {
    QList<Action> actions; // in time order (a stable sort of the lines)
    QString error;         // empty when every line was read
};

// A script is a few hundred lines; anything longer is not one.
constexpr qint64 kMaxScriptBytes = 1 << 20;

Script parseScript(const QByteArray &text);

} // namespace record
