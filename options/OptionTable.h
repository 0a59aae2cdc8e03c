#pragma once
// The options of the dialog as the settings glossary (core/SettingsFields.h)
// lists them, in the order the transfer visits them, with the controls that
// hold them.
#include "core/IniData.h"

#include <QList>
#include <variant>

class QWidget;
class frmOption;

namespace options {

using Kind = settings::FieldKind;

// One option of the dialog, from the settings glossary (core/SettingsFields.h).
struct OptionField {
    settings::Field id;
    const char *field;   // the record's name for it
    const char *control; // the control's design name, "Option3(7)"
    Kind kind;
    int visit;           // where the transfer takes it, 1..61
    bool atStart;        // the panel's start-up sets it
    const char *meaning;
    std::variant<QString IniData::*, int16_t IniData::*, int32_t IniData::*> member;
};

// The transfer's three runs of fields; between them it re-applies the
// backlight state and then the preview digit's colours.
enum class Run { Panel, Digits, Rest };
const QList<OptionField> &optionFields(Run run);

// Every field in visiting order.
QList<OptionField> allOptionFields();

// The control registered for a field in the dialog; nullptr when there is none.
QWidget *controlOf(frmOption &dialog, const OptionField &f);
// Whether a control can hold a value of the kind (a check box for Check...).
bool holdsKind(const QWidget *w, Kind kind);

// The dialog's start values, from the glossary: every option (before the
// handlers are connected and the lists filled: the texts, boxes, buttons and
// colours; after the lists are filled: the lists and the caption), or only
// those the panel's start-up sets.
enum class Starting { Controls, Lists, PanelStartUp };
void applyStartValues(frmOption &dialog, Starting which);

// One control to and from its field, in the design's value conventions.
void setControl(frmOption &dialog, const OptionField &f, const IniData &d);
void getControl(frmOption &dialog, const OptionField &f, IniData &d);

} // namespace options
