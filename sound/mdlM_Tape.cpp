#include "sound/mdlM_Tape.h"

#include "console/frmCtl.h"
#include "core/FileIo.h"
#include "core/KXP4Res.h"
#include "core/VbError.h"
#include "forms/Values.h"
#include "options/OptionReads.h"
#include "options/frmOption.h"
#include "platform/Paths.h"
#include "platform/speech/Reading.h"
#include "sound/TapeList.h"
#include "sound/mdlSndAPI.h"

#include <QFile>
#include <QList>

#include <algorithm>

namespace mdlM_Tape {
namespace {

QList<tape::TapeLine> TapeLines; // TapeLines[pos - 1] is line pos
int32_t TapePos = 0;
std::unique_ptr<speech::Engine> SpeechEngine;
EngineFactory g_factory;

const QString kUnavailable = QStringLiteral("音合使用不可");

bool isVista()
{
    try {
        return kxp4::GetOsInfo() == QStringLiteral("Windows Vista");
    } catch (...) {
        return false; // no helper library: not that system either
    }
}

void setUnavailable(frmCtl &console)
{
    console.TapeEnabled = false;
    console.grpM_Tape->setTitle(kUnavailable);
    console.grpM_Tape->setEnabled(false);
}

void playBefore(const QString &sound, const QString &channel)
{
    const qint16 sync = options::read::tapeSoundSync() ? 1 : 0;
    mdlSndAPI::SndPlay(sound, channel, sync, 0);
}

// The sound chosen by a line's flag: the options' sounds 1..3.
void playFlagSound(int32_t pos, const QString &channel)
{
    switch (GetTapeFlag(pos)) {
    case 1: playBefore(options::read::tapeSound1(), channel); break;
    case 2: playBefore(options::read::tapeSound2(), channel); break;
    case 3: playBefore(options::read::tapeSound3(), channel); break;
    }
}

} // namespace

void setEngineFactory(EngineFactory factory) { g_factory = std::move(factory); }

speech::Engine *engine() { return SpeechEngine.get(); }

Announcements *announcements()
{
    static Announcements a;
    return &a;
}

void InitSpeech()
{
    frmCtl &console = windows::frmCtl();
    if (isVista()) {
        setUnavailable(console);
        return;
    }
    SpeechEngine.reset(); // one engine at a time
    try {
        SpeechEngine = g_factory ? g_factory() : speech::createEngine();
    } catch (...) {
        SpeechEngine.reset();
    }
    if (!SpeechEngine) {
        setUnavailable(console);
        return;
    }
    // The engine may find out later, once its voice has loaded, that it
    // cannot speak after all.
    QObject::connect(SpeechEngine.get(), &speech::Engine::unavailable, &console,
                     [c = &console] { setUnavailable(*c); });
    QObject::connect(SpeechEngine.get(), &speech::Engine::statusChanged, announcements(), &Announcements::changed);
    console.grpM_Tape->setEnabled(true);
    console.grpM_Tape->setTitle(QStringLiteral("音合使用可"));
    console.TapeEnabled = true;
}

// The route's reading list beside its announcements, "<route>yomi.csv": the
// names it lists are spoken as it spells them. No list, or one that cannot
// be read, leaves every name to the dictionary.
namespace {
void loadReadings(const QString &folder, const QString &key)
{
    QHash<QString, QString> readings;
    try {
        const QString path = platform::findFile(folder + key + QStringLiteral("yomi.csv"));
        if (!path.isEmpty()) {
            const fileio::Read file = fileio::readRegular(path, tape::kMaxBytes);
            if (!file.error && file.bytes.size() <= tape::kMaxBytes)
                readings = speech::readUserReadings(file.bytes);
        }
    } catch (...) {
        readings.clear();
    }
    speech::setUserReadings(readings);
}
} // namespace

void LoadTape(const QString &folder, const QString &key)
{
    if (isVista())
        return;
    frmCtl &console = windows::frmCtl();
    try {
        // A failed load leaves no list behind: a later re-enabling of the
        // group must not speak the previous route's lines.
        TapeLines.clear();
        TapePos = 0;
        const QString path = platform::findFile(folder + key + QStringLiteral("tp.csv"));
        if (path.isEmpty())
            vb::raise(vb::ErrFileNotFound);
        const fileio::Read file = fileio::readRegular(path, tape::kMaxBytes);
        if (file.error)
            vb::raise(file.error);
        TapeLines = tape::readTapeList(file.bytes);
        loadReadings(folder, key);
        if (console.TapeEnabled) {
            console.grpM_Tape->setEnabled(true);
            for (QPushButton *b : {console.cmdTapeNext, console.cmdTapeBack, console.cmdTapeStop, console.cmdTapeSet})
                b->setEnabled(true);
        }
        TapePos = 0;
    } catch (...) {
        TapeLines.clear();
        TapePos = 0;
        speech::setUserReadings({});
        console.grpM_Tape->setEnabled(false);
    }
}

void TapeNext()
{
    TapePos += 1;
    if (TapePos > GetTapeCount()) {
        TapePos = GetTapeCount();
        return;
    }
    try {
        if (options::read::tapeSoundAlways())
            playBefore(options::read::tapeSoundPath(), QStringLiteral("S3"));
        else
            playFlagSound(TapePos, QStringLiteral("S3"));
        TapeSpeak(TapePos);
    } catch (...) {
    }
}

void TapeSkip() { TapePos = std::min(TapePos + 1, GetTapeCount()); }

void TapeBack()
{
    // Never before the first line: from the start the position goes to line
    // 1 unspoken, and the console still reads that line's step flag.
    TapePos -= 1;
    if (TapePos < 1) {
        TapePos = 1;
        return;
    }
    try {
        playFlagSound(TapePos, QStringLiteral("S2"));
        TapeSpeak(TapePos);
    } catch (...) {
    }
}

void TapeSpeak(int32_t pos)
{
    if (!SpeechEngine)
        return;
    SpeechEngine->Stop();
    SpeechEngine->Speak(pos >= 1 && pos <= GetTapeCount() ? TapeLines[pos - 1].TapeText : QString());
    if (SpeechEngine->Status() == speech::Engine::kFailed)
        SpeechEngine->Stop();
    emit announcements()->changed();
}

void TapeStop()
{
    if (SpeechEngine)
        SpeechEngine->Stop();
    emit announcements()->changed();
}

void ShowVoiceDialog()
{
    if (SpeechEngine)
        SpeechEngine->ShowVoiceDialog(&windows::frmCtl(), QStringLiteral("音声の調節"));
}

void ReleaseSpeech()
{
    SpeechEngine.reset();
    emit announcements()->changed();
}

int32_t GetTapePos() { return TapePos; }

int16_t GetTapeStep(int32_t pos) { return pos >= 1 && pos <= GetTapeCount() ? TapeLines[pos - 1].StepFlag : 0; }

int16_t GetTapeFlag(int32_t pos) { return pos >= 1 && pos <= GetTapeCount() ? TapeLines[pos - 1].SoundFlag : 0; }

int32_t GetTapeCount() { return int32_t(TapeLines.size()); }

} // namespace mdlM_Tape
