#include "options/OptionReads.h"

#include "core/VbError.h"
#include "forms/Values.h"
#include "forms/Windows.h"
#include "options/frmOption.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>


namespace options::read {

namespace {

// The control the dialog registered for the field when it built its pages,
// of the kind the glossary gives it.
template<typename W>
W &live(settings::Field id, const char *control)
{
    W *typed = qobject_cast<W *>(windows::frmOption().control(id));
    if (!typed)
        vb::raise(vb::ErrInternal, QStringLiteral("コントロールがありません: %1").arg(QLatin1String(control)));
    return *typed;
}

} // namespace

#define S4_READ_Text(field, read, control) \
    QString read() { return forms::text(live<QLineEdit>(settings::Field::field, control)); }
#define S4_READ_Caption(field, read, control) \
    QString read() { return forms::caption(live<QLabel>(settings::Field::field, control)); }
#define S4_READ_Check(field, read, control) \
    int16_t read() { return forms::checkValue(live<QCheckBox>(settings::Field::field, control)); }
#define S4_READ_Option(field, read, control) \
    bool read() { return forms::optionValue(live<QAbstractButton>(settings::Field::field, control)) != 0; }
#define S4_READ_List(field, read, control) \
    int read() { return forms::listIndex(live<QComboBox>(settings::Field::field, control)); }
#define S4_READ_Colour(field, read, control) \
    uint32_t read() { return forms::faceColor(live<QAbstractButton>(settings::Field::field, control)); }
#define S4_READ_Console(field, read, control)
#define S4_READ_Position(field, read, control)
#define S4_READ_DEFINE(field, read, type, block, control, kind, ...) S4_READ_##kind(field, read, control)
S4_SETTINGS_FIELDS(S4_READ_DEFINE)

} // namespace options::read
