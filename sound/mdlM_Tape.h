#pragma once
// The announcement tape: the route's announcement list, the position in it,
// and the speech engine that says each line after its short sound. Nothing
// here shows a message: a missing engine or list and errors while speaking
// end in silence, with the console's announcement group disabled.
#include "platform/speech/SpeechEngine.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

namespace mdlM_Tape {

// Creates the engine and sets the console's TapeEnabled and the caption of
// its announcement group.
void InitSpeech();
// Loads "<folder><key>tp.csv" (the folder already ends in a separator
// unless empty); the group is enabled again only when this succeeds.
void LoadTape(const QString &folder, const QString &key);
void TapeNext();
// To the next line without a sound or a word (an announcement come too late).
void TapeSkip();
void TapeBack();
void TapeSpeak(int32_t pos);
void TapeStop();
void ShowVoiceDialog();
void ReleaseSpeech();
int32_t GetTapePos();
int16_t GetTapeStep(int32_t pos); // 0 outside 1..GetTapeCount()
int16_t GetTapeFlag(int32_t pos); // 0 outside 1..GetTapeCount()
int32_t GetTapeCount();

// Where InitSpeech gets its engine (tests give a recording one); an empty
// function restores the platform's engine.
using EngineFactory = std::function<std::unique_ptr<speech::Engine>()>;
void setEngineFactory(EngineFactory factory);
speech::Engine *engine();

// Tells that what is spoken may have changed: a line begun or stopped, the
// engine done speaking, the engine made or released.
class Announcements : public QObject {
    Q_OBJECT
signals:
    void changed();
};
Announcements *announcements();

} // namespace mdlM_Tape
