#pragma once
// The four sound channels "S1" to "S4". Each is an MCI alias made of the
// executable's base name and the channel name ("427S1"). Failures end in
// silence: nothing here ever reports an error to its caller.
#include <QString>
#include <QtGlobal>
#include <functional>

namespace mdlSndAPI {

// Plays a WAV, MP3 or MID file on a channel, replacing what the channel held.
// sync != 0: returns when the sound has ended, then pauses `pause` ms; both
// waits keep the windows painting but hold back user input.
void SndPlay(const QString &path, const QString &channel, qint16 sync, qint16 pause);

// Stops what a channel plays; a play waiting for its end returns.
void SndStop(const QString &channel);

// Closes the four channels.
void SndCloseAll();

// Where the command strings go: platform::sendMci unless replaced
// (tests record them). An empty function restores the default.
using MciSender = std::function<int(const QString &command)>;
void setMciSender(MciSender sender);

} // namespace mdlSndAPI
