#pragma once
// The settings record: the persistent mirror of every preference, carried to
// and from the settings file. Between a read and a write the controls, not
// this record, hold the live values.
#include <QString>
#include <array>
#include <cstdint>

struct DegitOptEntry {
    int16_t Shift = 0;
    int16_t ZeroMode = 0;
    int16_t FillZero = 0;
};

struct IniData {
    // DirInfo
    QString FareDataDir, TapeDataDir;
    // PanelInfo
    int16_t UseSeiriNumAuto = 0;
    int32_t SeiriNumColorOff = 0, SeiriNumColorOn1 = 0, SeiriNumColorOn2 = 0;
    int16_t SeiriNumStyle = 0, SeiriNumZeroPad = 0;
    int16_t PanelAutoAssign = 0, PanelIndividual = 0;
    int16_t PanelOffBuiltin = 0, PanelOffUser = 0, PanelOn1Builtin = 0, PanelOn1User = 0;
    int16_t PanelOn2Builtin = 0, PanelOn2User = 0;
    QString PanelOffPath, PanelOn1Path, PanelOn2Path;
    // DegitInfo
    int32_t DegitBackColor = 0, DegitUnlitColor = 0, DegitLitColor = 0;
    int16_t InfoStopOrderOn = 0, InfoStopOrderKoma = 0, InfoStopOrderFromZero = 0;
    int16_t InfoSeiriNumOn = 0, InfoSeiriNumKoma = 0;
    int16_t InfoKeitoNumOn = 0, InfoKeitoNumKoma = 0;
    int16_t InfoColumnOn = 0, InfoColumnIndex = 0, InfoColumnKoma = 0;
    // ChimeiInfo
    int32_t ChimeiBackColor = 0, ChimeiForeColor = 0;
    int16_t ChimeiFontMode = 0, ChimeiFontBold = 0;
    // SoundInfo
    QString SoundKeitoSet, SoundReset;
    int16_t StepSoundAlways = 0, StepSoundByColumn = 0, StepSoundSync = 0, StepSoundAsync = 0;
    QString StepSoundPath;
    int16_t StepSoundColumn = 0;
    QString StepSound1, StepSound2, StepSound3;
    int16_t TapeSoundAlways = 0, TapeSoundByFlag = 0, TapeSoundSync = 0, TapeSoundAsync = 0;
    QString TapeSoundPath, TapeSound1, TapeSound2, TapeSound3;
    // SeirikenInfo
    int16_t UseSeiriPrev = 0;
    QString SeiriPlgPath;
    int16_t SeiriDateAuto = 0, SeiriDateKeep = 0, SeiriDateFixed = 0;
    QString SeiriFixedDate;
    // CtlInfo
    int16_t InputMode = 0;
    int32_t ChimeiSpeed = 0, ChimeiScrollStartWait = 0;
    int16_t LateNightFare = 0, SeiriPrevOpen = 0;
    int32_t CtlLeft = 0, CtlTop = 0;
    // PanelPos
    int32_t PanelLeft = 0, PanelTop = 0;
    // The colour chooser's custom colours, used in place.
    std::array<int32_t, 17> CustomColors{};
    // Per-digit options of Degit(1)..Degit(60): DegitOpt[i - 1].
    std::array<DegitOptEntry, 60> DegitOpt{};
};

namespace ini {

// Visits the record's fields in the order of the file, each with its name:
// v(name, QString&), v(name, int16_t&), v(name, int32_t&). The one list both
// the file's reader and writer and the option transfer follow.
template<typename Record, typename V>
void visitFields(Record &d, V &&v)
{
    v("FareDataDir", d.FareDataDir);
    v("TapeDataDir", d.TapeDataDir);
    v("UseSeiriNumAuto", d.UseSeiriNumAuto);
    v("SeiriNumColorOff", d.SeiriNumColorOff);
    v("SeiriNumColorOn1", d.SeiriNumColorOn1);
    v("SeiriNumColorOn2", d.SeiriNumColorOn2);
    v("SeiriNumStyle", d.SeiriNumStyle);
    v("SeiriNumZeroPad", d.SeiriNumZeroPad);
    v("PanelAutoAssign", d.PanelAutoAssign);
    v("PanelIndividual", d.PanelIndividual);
    v("PanelOffBuiltin", d.PanelOffBuiltin);
    v("PanelOffUser", d.PanelOffUser);
    v("PanelOn1Builtin", d.PanelOn1Builtin);
    v("PanelOn1User", d.PanelOn1User);
    v("PanelOn2Builtin", d.PanelOn2Builtin);
    v("PanelOn2User", d.PanelOn2User);
    v("PanelOffPath", d.PanelOffPath);
    v("PanelOn1Path", d.PanelOn1Path);
    v("PanelOn2Path", d.PanelOn2Path);
    v("DegitBackColor", d.DegitBackColor);
    v("DegitUnlitColor", d.DegitUnlitColor);
    v("DegitLitColor", d.DegitLitColor);
    v("InfoStopOrderOn", d.InfoStopOrderOn);
    v("InfoStopOrderKoma", d.InfoStopOrderKoma);
    v("InfoStopOrderFromZero", d.InfoStopOrderFromZero);
    v("InfoSeiriNumOn", d.InfoSeiriNumOn);
    v("InfoSeiriNumKoma", d.InfoSeiriNumKoma);
    v("InfoKeitoNumOn", d.InfoKeitoNumOn);
    v("InfoKeitoNumKoma", d.InfoKeitoNumKoma);
    v("InfoColumnOn", d.InfoColumnOn);
    v("InfoColumnIndex", d.InfoColumnIndex);
    v("InfoColumnKoma", d.InfoColumnKoma);
    v("ChimeiBackColor", d.ChimeiBackColor);
    v("ChimeiForeColor", d.ChimeiForeColor);
    v("ChimeiFontMode", d.ChimeiFontMode);
    v("ChimeiFontBold", d.ChimeiFontBold);
    v("SoundKeitoSet", d.SoundKeitoSet);
    v("SoundReset", d.SoundReset);
    v("StepSoundAlways", d.StepSoundAlways);
    v("StepSoundByColumn", d.StepSoundByColumn);
    v("StepSoundSync", d.StepSoundSync);
    v("StepSoundAsync", d.StepSoundAsync);
    v("StepSoundPath", d.StepSoundPath);
    v("StepSoundColumn", d.StepSoundColumn);
    v("StepSound1", d.StepSound1);
    v("StepSound2", d.StepSound2);
    v("StepSound3", d.StepSound3);
    v("TapeSoundAlways", d.TapeSoundAlways);
    v("TapeSoundByFlag", d.TapeSoundByFlag);
    v("TapeSoundSync", d.TapeSoundSync);
    v("TapeSoundAsync", d.TapeSoundAsync);
    v("TapeSoundPath", d.TapeSoundPath);
    v("TapeSound1", d.TapeSound1);
    v("TapeSound2", d.TapeSound2);
    v("TapeSound3", d.TapeSound3);
    v("UseSeiriPrev", d.UseSeiriPrev);
    v("SeiriPlgPath", d.SeiriPlgPath);
    v("SeiriDateAuto", d.SeiriDateAuto);
    v("SeiriDateKeep", d.SeiriDateKeep);
    v("SeiriDateFixed", d.SeiriDateFixed);
    v("SeiriFixedDate", d.SeiriFixedDate);
    v("InputMode", d.InputMode);
    v("ChimeiSpeed", d.ChimeiSpeed);
    v("ChimeiScrollStartWait", d.ChimeiScrollStartWait);
    v("LateNightFare", d.LateNightFare);
    v("SeiriPrevOpen", d.SeiriPrevOpen);
    v("CtlLeft", d.CtlLeft);
    v("CtlTop", d.CtlTop);
    v("PanelLeft", d.PanelLeft);
    v("PanelTop", d.PanelTop);
}

// The settings file's bytes: the fields above, little-endian, texts as a
// 16-bit byte count and their code page 932 bytes, then the 17 custom
// colours, the count 60 and 60 triples (Shift, ZeroMode, FillZero).
// 598 bytes with every text empty.
QByteArray writeIni(const IniData &d);

// Reads what is there: fields past the end of the data read as zero or
// empty, a text whose count runs past the end takes what remains. The
// stored triple count is read and ignored; 60 triples are always read.
IniData readIni(QByteArrayView bytes);

} // namespace ini
