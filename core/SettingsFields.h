#pragma once
// The glossary of the settings: one line for each field of the settings file,
// in the order of the file. The record, its reader and writer, the option
// transfer, the options dialog's start values, the typed reads of the live
// options, the demo settings and the tests all walk this one list; nothing
// else names a field. A new preference never goes in here: the file's layout
// is fixed, and a new one lives in a small per-user file of its own.
//
// X(field, read, type, block, control, kind, visit, start, atStart, meaning)
//   field    the record's member, as the file's layout names it
//   read     the typed read of the live option (options::read::<read>())
//   type     QString (a 16-bit byte count and code page 932 bytes), int16_t
//            or int32_t, little-endian
//   block    the group of the layout it belongs to
//   control  the control that holds it while the program runs
//   kind     for the options dialog: Text, Check (0/1/2), Option (-1
//            selected, 0 not), List (index, -1 none), Colour (0x00BBGGRR),
//            Caption; Console and Position for the console's own settings
//            and the windows' places, which the console and the panel carry
//   visit    where the option transfer takes it (it visits the two
//            synchronous-play buttons before the two sound-choice buttons of
//            each group); 0 for what is not an option of the dialog
//   start    the value when no settings file has been read
//   atStart  1 when the panel's start-up sets it (the dialog starts with it too)
//   meaning  in plain words, after the control's name
#include <cstdint>

#define S4_SETTINGS_FIELDS(X) \
    X(FareDataDir, fareDataDir, QString, DirInfo, "Text2(0)", Text, 1, QString(), 0, "Text2(0): folder of the fare data files (*.hy3)") \
    X(TapeDataDir, tapeDataDir, QString, DirInfo, "Text2(1)", Text, 2, QString(), 0, "Text2(1): folder of the announcement lists (*tp.csv)") \
    X(UseSeiriNumAuto, useSeiriNumAuto, int16_t, PanelInfo, "Check1", Check, 3, 1, 1, "Check1: the ticket numbers above the cells are shown") \
    X(SeiriNumColorOff, seiriNumColorOff, int32_t, PanelInfo, "Command5(0)", Colour, 4, 0x008000, 1, "Command5(0): ticket-number text colour, backlight OFF") \
    X(SeiriNumColorOn1, seiriNumColorOn1, int32_t, PanelInfo, "Command5(1)", Colour, 5, 0x00C000, 1, "Command5(1): ticket-number text colour, backlight ON1") \
    X(SeiriNumColorOn2, seiriNumColorOn2, int32_t, PanelInfo, "Command5(2)", Colour, 6, 0x00C000, 1, "Command5(2): ticket-number text colour, backlight ON2") \
    X(SeiriNumStyle, seiriNumStyle, int16_t, PanelInfo, "Combo2", List, 7, 0, 0, "Combo2: ticket-number labelling scheme (0..11)") \
    X(SeiriNumZeroPad, seiriNumZeroPad, int16_t, PanelInfo, "Check2", Check, 8, 0, 0, "Check2: one-digit ticket numbers get a leading zero") \
    X(PanelAutoAssign, panelAutoAssign, int16_t, PanelInfo, "Option3(0)", Option, 9, -1, 0, "Option3(0): the built-in panel pictures are assigned by themselves") \
    X(PanelIndividual, panelIndividual, int16_t, PanelInfo, "Option3(1)", Option, 10, 0, 0, "Option3(1): the panel picture is chosen per backlight state") \
    X(PanelOffBuiltin, panelOffBuiltin, int16_t, PanelInfo, "Option3(7)", Option, 11, -1, 0, "Option3(7): backlight OFF shows the built-in picture") \
    X(PanelOffUser, panelOffUser, int16_t, PanelInfo, "Option3(6)", Option, 12, 0, 0, "Option3(6): backlight OFF shows the user's picture") \
    X(PanelOn1Builtin, panelOn1Builtin, int16_t, PanelInfo, "Option3(3)", Option, 13, -1, 0, "Option3(3): backlight ON1 shows the built-in picture") \
    X(PanelOn1User, panelOn1User, int16_t, PanelInfo, "Option3(2)", Option, 14, 0, 0, "Option3(2): backlight ON1 shows the user's picture") \
    X(PanelOn2Builtin, panelOn2Builtin, int16_t, PanelInfo, "Option3(4)", Option, 15, -1, 0, "Option3(4): backlight ON2 shows the built-in picture") \
    X(PanelOn2User, panelOn2User, int16_t, PanelInfo, "Option3(5)", Option, 16, 0, 0, "Option3(5): backlight ON2 shows the user's picture") \
    X(PanelOffPath, panelOffPath, QString, PanelInfo, "txtSelectPanel(0)", Text, 17, QString(), 0, "txtSelectPanel(0): the user's picture file, backlight OFF") \
    X(PanelOn1Path, panelOn1Path, QString, PanelInfo, "txtSelectPanel(1)", Text, 18, QString(), 0, "txtSelectPanel(1): the user's picture file, backlight ON1") \
    X(PanelOn2Path, panelOn2Path, QString, PanelInfo, "txtSelectPanel(2)", Text, 19, QString(), 0, "txtSelectPanel(2): the user's picture file, backlight ON2") \
    X(DegitBackColor, degitBackColor, int32_t, DegitInfo, "Command8(0)", Colour, 20, 0x808080, 0, "Command8(0): background of the fare and clock digits") \
    X(DegitUnlitColor, degitUnlitColor, int32_t, DegitInfo, "Command8(1)", Colour, 21, 0x969696, 0, "Command8(1): colour of the unlit segments") \
    X(DegitLitColor, degitLitColor, int32_t, DegitInfo, "Command8(2)", Colour, 22, 0x72D2F8, 0, "Command8(2): colour of the lit segments") \
    X(InfoStopOrderOn, infoStopOrderOn, int16_t, DegitInfo, "Check3(0)", Check, 23, 0, 0, "Check3(0): a cell shows the stop's order") \
    X(InfoStopOrderKoma, infoStopOrderKoma, int16_t, DegitInfo, "Combo4(0)", List, 24, 0, 0, "Combo4(0): the cell of the stop order (index + 1)") \
    X(InfoStopOrderFromZero, infoStopOrderFromZero, int16_t, DegitInfo, "Check3(4)", Check, 25, 0, 0, "Check3(4): the stop order counts from 0") \
    X(InfoSeiriNumOn, infoSeiriNumOn, int16_t, DegitInfo, "Check3(1)", Check, 26, 0, 0, "Check3(1): a cell shows the stop's ticket number") \
    X(InfoSeiriNumKoma, infoSeiriNumKoma, int16_t, DegitInfo, "Combo4(1)", List, 27, 0, 0, "Combo4(1): the cell of the ticket number (index + 1)") \
    X(InfoKeitoNumOn, infoKeitoNumOn, int16_t, DegitInfo, "Check3(2)", Check, 28, 0, 0, "Check3(2): a cell shows the route number") \
    X(InfoKeitoNumKoma, infoKeitoNumKoma, int16_t, DegitInfo, "Combo4(2)", List, 29, 0, 0, "Combo4(2): the cell of the route number (index + 1)") \
    X(InfoColumnOn, infoColumnOn, int16_t, DegitInfo, "Check3(3)", Check, 30, 0, 0, "Check3(3): a cell shows a value column of the stop's record") \
    X(InfoColumnIndex, infoColumnIndex, int16_t, DegitInfo, "Combo4(4)", List, 31, 0, 0, "Combo4(4): which value column (index + 1)") \
    X(InfoColumnKoma, infoColumnKoma, int16_t, DegitInfo, "Combo4(3)", List, 32, 0, 0, "Combo4(3): the cell of that value (index + 1)") \
    X(ChimeiBackColor, chimeiBackColor, int32_t, ChimeiInfo, "Command9(0)", Colour, 33, 0x808080, 0, "Command9(0): stop-name strip background") \
    X(ChimeiForeColor, chimeiForeColor, int32_t, ChimeiInfo, "Command9(1)", Colour, 34, 0x00FFFF, 0, "Command9(1): stop-name strip dots") \
    X(ChimeiFontMode, chimeiFontMode, int16_t, ChimeiInfo, "Combo3", List, 35, -1, 0, "Combo3: stop-name font (0..4; none chosen at first)") \
    X(ChimeiFontBold, chimeiFontBold, int16_t, ChimeiInfo, "Check4", Check, 36, 0, 0, "Check4: the stop name is drawn bold") \
    X(SoundKeitoSet, soundKeitoSet, QString, SoundInfo, "txtSelectSound(0)", Text, 37, QString(), 0, "txtSelectSound(0): sound when a route is set") \
    X(SoundReset, soundReset, QString, SoundInfo, "txtSelectSound(1)", Text, 38, QString(), 0, "txtSelectSound(1): sound at reset") \
    X(StepSoundAlways, stepSoundAlways, int16_t, SoundInfo, "Option2(0)", Option, 41, -1, 0, "Option2(0): the step sound is always the fixed one") \
    X(StepSoundByColumn, stepSoundByColumn, int16_t, SoundInfo, "Option2(1)", Option, 42, 0, 0, "Option2(1): the step sound is chosen by a value column") \
    X(StepSoundSync, stepSoundSync, int16_t, SoundInfo, "Option6(0)", Option, 39, 0, 0, "Option6(0): the step sound plays to its end before the fares change") \
    X(StepSoundAsync, stepSoundAsync, int16_t, SoundInfo, "Option6(1)", Option, 40, -1, 0, "Option6(1): the step sound plays while the fares change") \
    X(StepSoundPath, stepSoundPath, QString, SoundInfo, "txtSelectSound(7)", Text, 43, QString(), 0, "txtSelectSound(7): the fixed step sound") \
    X(StepSoundColumn, stepSoundColumn, int16_t, SoundInfo, "Combo1", List, 44, 0, 0, "Combo1: the value column that chooses the step sound (index + 1)") \
    X(StepSound1, stepSound1, QString, SoundInfo, "txtSelectSound(8)", Text, 45, QString(), 0, "txtSelectSound(8): step sound when that column holds 1") \
    X(StepSound2, stepSound2, QString, SoundInfo, "txtSelectSound(9)", Text, 46, QString(), 0, "txtSelectSound(9): step sound when it holds 2") \
    X(StepSound3, stepSound3, QString, SoundInfo, "txtSelectSound(10)", Text, 47, QString(), 0, "txtSelectSound(10): step sound when it holds 3") \
    X(TapeSoundAlways, tapeSoundAlways, int16_t, SoundInfo, "Option2(2)", Option, 50, -1, 0, "Option2(2): the pre-announcement sound is always the fixed one") \
    X(TapeSoundByFlag, tapeSoundByFlag, int16_t, SoundInfo, "Option2(3)", Option, 51, 0, 0, "Option2(3): the pre-announcement sound is chosen by the line's flag") \
    X(TapeSoundSync, tapeSoundSync, int16_t, SoundInfo, "Option7(0)", Option, 48, -1, 0, "Option7(0): the pre-announcement sound plays to its end before speaking") \
    X(TapeSoundAsync, tapeSoundAsync, int16_t, SoundInfo, "Option7(1)", Option, 49, 0, 0, "Option7(1): the pre-announcement sound plays while speaking starts") \
    X(TapeSoundPath, tapeSoundPath, QString, SoundInfo, "txtSelectSound(3)", Text, 52, QString(), 0, "txtSelectSound(3): the fixed pre-announcement sound") \
    X(TapeSound1, tapeSound1, QString, SoundInfo, "txtSelectSound(4)", Text, 53, QString(), 0, "txtSelectSound(4): pre-announcement sound for flag 1") \
    X(TapeSound2, tapeSound2, QString, SoundInfo, "txtSelectSound(5)", Text, 54, QString(), 0, "txtSelectSound(5): pre-announcement sound for flag 2") \
    X(TapeSound3, tapeSound3, QString, SoundInfo, "txtSelectSound(6)", Text, 55, QString(), 0, "txtSelectSound(6): pre-announcement sound for flag 3") \
    X(UseSeiriPrev, useSeiriPrev, int16_t, SeirikenInfo, "chkUseSeiriPrev", Check, 56, 0, 0, "chkUseSeiriPrev: the ticket preview is in use") \
    X(SeiriPlgPath, seiriPlgPath, QString, SeirikenInfo, "txtSeiriPlgDir", Text, 57, QString(), 0, "txtSeiriPlgDir: the ticket plug-in file") \
    X(SeiriDateAuto, seiriDateAuto, int16_t, SeirikenInfo, "Option4(0)", Option, 58, -1, 0, "Option4(0): ticket date: today, renewed at every print") \
    X(SeiriDateKeep, seiriDateKeep, int16_t, SeirikenInfo, "Option4(1)", Option, 59, 0, 0, "Option4(1): ticket date: today, taken when the route is set") \
    X(SeiriDateFixed, seiriDateFixed, int16_t, SeirikenInfo, "Option4(2)", Option, 60, 0, 0, "Option4(2): ticket date: the fixed date") \
    X(SeiriFixedDate, seiriFixedDate, QString, SeirikenInfo, "Label10", Caption, 61, today, 0, "Label10: the fixed date, yyyy/mm/dd (today's at first)") \
    X(InputMode, inputMode, int16_t, CtlInfo, "Frame1", Console, 0, 0, 0, "Frame1: the console's input form: keypad 0, digit lists 1") \
    X(ChimeiSpeed, chimeiSpeed, int32_t, CtlInfo, "HScroll1(0)", Console, 0, 0, 0, "HScroll1(0): stop-name scroll speed") \
    X(ChimeiScrollStartWait, chimeiScrollStartWait, int32_t, CtlInfo, "HScroll1(1)", Console, 0, 0, 0, "HScroll1(1): stop-name scroll interval") \
    X(LateNightFare, lateNightFare, int16_t, CtlInfo, "Check2", Console, 0, 0, 0, "Check2: the late-night fare (doubled)") \
    X(SeiriPrevOpen, seiriPrevOpen, int16_t, CtlInfo, "Check4", Console, 0, 0, 0, "Check4: the console's ticket preview pane is open") \
    X(CtlLeft, ctlLeft, int32_t, CtlInfo, "frmCtl", Position, 0, 0, 0, "frmCtl: console left, twips") \
    X(CtlTop, ctlTop, int32_t, CtlInfo, "frmCtl", Position, 0, 0, 0, "frmCtl: console top, twips") \
    X(PanelLeft, panelLeft, int32_t, PanelPos, "Form1", Position, 0, 0, 0, "Form1: panel left, twips") \
    X(PanelTop, panelTop, int32_t, PanelPos, "Form1", Position, 0, 0, 0, "Form1: panel top, twips")

namespace settings {

enum class FieldKind { Text, Check, Option, List, Colour, Caption, Console, Position };

// Every field by name, in the file's order.
enum class Field {
#define S4_FIELD_ID(field, ...) field,
    S4_SETTINGS_FIELDS(S4_FIELD_ID)
#undef S4_FIELD_ID
    Count
};

} // namespace settings
