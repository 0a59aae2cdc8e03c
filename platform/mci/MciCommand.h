#pragma once
// Parsing of the MCI command strings the player understands. Pure: no audio.
#include <QString>

namespace platform::mci {

struct Command {
    enum class Verb { Open, Play, Stop, Close };
    Verb verb = Verb::Close;
    QString path;  // open: the file, exactly as written between the quotes
    QString type;  // open: device type, lower case
    QString alias; // lower case; "all" for close all
    bool wait = false;
};

struct Parsed {
    int error = 0; // 0, or an Err code
    Command cmd;
};

Parsed parseCommand(const QString &text);

} // namespace platform::mci
