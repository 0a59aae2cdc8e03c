#pragma once
// The settings record: the persistent mirror of every preference, carried to
// and from the settings file. Between a read and a write the controls, not
// this record, hold the live values.
#include "core/SettingsFields.h"

#include <QString>
#include <array>
#include <cstdint>

struct DegitOptEntry {
    int16_t Shift = 0;
    int16_t ZeroMode = 0;
    int16_t FillZero = 0;
};

struct IniData {
    // The fields of the glossary, in the file's order.
#define S4_FIELD_MEMBER(field, read, type, ...) type field{};
    S4_SETTINGS_FIELDS(S4_FIELD_MEMBER)
#undef S4_FIELD_MEMBER
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
#define S4_FIELD_VISIT(field, ...) v(#field, d.field);
    S4_SETTINGS_FIELDS(S4_FIELD_VISIT)
#undef S4_FIELD_VISIT
}

// The record as it stands when no settings file has been read: every
// field's start value (the fixed date is today's).
IniData startValues();

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
