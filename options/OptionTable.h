#pragma once
// The one table that ties each field of the settings record to the control of
// the options dialog that holds it, in the order the transfer visits them.
// The file order is the record's own (IniData's field list); the transfer
// takes the two Option6 buttons before Option2(0..1) and the two Option7
// buttons before Option2(2..3).
#include "core/IniData.h"

#include <QList>
#include <variant>

class QWidget;
class frmOption;

namespace options {

enum class Kind { Text, Check, Option, List, Colour, Caption };

struct OptionField {
    const char *field;   // the record's name for it
    const char *control; // the control's design name, "Option3(7)"
    Kind kind;
    std::variant<QString IniData::*, int16_t IniData::*, int32_t IniData::*> member;
};

// The transfer's three runs of fields; between them it re-applies the
// backlight state and then the preview digit's colours.
enum class Run { Panel, Digits, Rest };
const QList<OptionField> &optionFields(Run run);

// Every field in visiting order.
QList<OptionField> allOptionFields();

// The control a field names in the dialog; nullptr when there is none.
QWidget *controlOf(frmOption &dialog, const OptionField &f);

// One control to and from its field, in the design's value conventions.
void setControl(frmOption &dialog, const OptionField &f, const IniData &d);
void getControl(frmOption &dialog, const OptionField &f, IniData &d);

} // namespace options
