#pragma once
// Typed reads of the live options, one for each option of the settings
// glossary (core/SettingsFields.h), named by its "read" column. The
// options' only store is the dialog's controls: each read asks the control
// that holds the option, in the program's value conventions (a check box
// 0/1/2, an option button selected or not, a list's index, -1 for none, a
// colour 0x00BBGGRR). Code that consumes an option reads it only here.
#include "core/SettingsFields.h"

#include <QString>
#include <cstdint>

namespace options::read {

#define S4_READ_Text(read) QString read();
#define S4_READ_Caption(read) QString read();
#define S4_READ_Check(read) int16_t read();
#define S4_READ_Option(read) bool read();
#define S4_READ_List(read) int read();
#define S4_READ_Colour(read) uint32_t read();
#define S4_READ_Console(read)
#define S4_READ_Position(read)
#define S4_READ_DECLARE(field, read, type, block, control, kind, ...) S4_READ_##kind(read)
S4_SETTINGS_FIELDS(S4_READ_DECLARE)
#undef S4_READ_DECLARE
#undef S4_READ_Text
#undef S4_READ_Caption
#undef S4_READ_Check
#undef S4_READ_Option
#undef S4_READ_List
#undef S4_READ_Colour
#undef S4_READ_Console
#undef S4_READ_Position

} // namespace options::read
