#include "options/OptionTable.h"

#include "core/VbError.h"
#include "forms/Values.h"
#include "options/frmOption.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>

namespace options {

namespace {

// The options of the glossary, in the order of the file.
const QList<OptionField> &allFields()
{
    static const QList<OptionField> fields = [] {
        QList<OptionField> all;
#define S4_OPTION_FIELD(field, read, type, block, control, kind, visit, start, atStart, meaning) \
    if constexpr (Kind::kind != Kind::Console && Kind::kind != Kind::Position) \
        all.append(OptionField{settings::Field::field, #field, control, Kind::kind, visit, atStart != 0, meaning, \
                               &IniData::field});
        S4_SETTINGS_FIELDS(S4_OPTION_FIELD)
#undef S4_OPTION_FIELD
        std::sort(all.begin(), all.end(), [](const OptionField &a, const OptionField &b) { return a.visit < b.visit; });
        return all;
    }();
    return fields;
}

// The transfer's runs: the panel's options (the folders, the ticket numbers,
// the pictures), the digits', then the rest; a run ends at the field the next
// one starts with.
QList<OptionField> runOf(int firstVisit, int endVisit)
{
    QList<OptionField> run;
    for (const OptionField &f : allFields())
        if (f.visit >= firstVisit && f.visit < endVisit)
            run.append(f);
    return run;
}

int visitOf(settings::Field id)
{
    for (const OptionField &f : allFields())
        if (f.id == id)
            return f.visit;
    return 0;
}

template<typename W>
W &control(frmOption &dialog, const OptionField &f)
{
    W *w = qobject_cast<W *>(controlOf(dialog, f));
    if (!w)
        vb::raise(vb::ErrInternal, QStringLiteral("コントロールがありません: %1").arg(QLatin1String(f.control)));
    return *w;
}

} // namespace

const QList<OptionField> &optionFields(Run run)
{
    static const QList<OptionField> panel = runOf(1, visitOf(settings::Field::DegitBackColor));
    static const QList<OptionField> digits =
        runOf(visitOf(settings::Field::DegitBackColor), visitOf(settings::Field::ChimeiBackColor));
    static const QList<OptionField> rest = runOf(visitOf(settings::Field::ChimeiBackColor), 1 << 20);
    switch (run) {
    case Run::Panel: return panel;
    case Run::Digits: return digits;
    case Run::Rest: break;
    }
    return rest;
}

QList<OptionField> allOptionFields()
{
    return allFields();
}

void applyStartValues(frmOption &dialog, Starting which)
{
    const IniData start = ini::startValues();
    for (const OptionField &f : allFields()) {
        const bool list = f.kind == Kind::List || f.kind == Kind::Caption;
        if ((which == Starting::Controls && !list) || (which == Starting::Lists && list)
            || (which == Starting::PanelStartUp && f.atStart))
            setControl(dialog, f, start);
    }
}

QWidget *controlOf(frmOption &dialog, const OptionField &f)
{
    return dialog.control(f.id);
}

bool holdsKind(const QWidget *w, Kind kind)
{
    switch (kind) {
    case Kind::Text: return qobject_cast<const QLineEdit *>(w);
    case Kind::Caption: return qobject_cast<const QLabel *>(w);
    case Kind::Check: return qobject_cast<const QCheckBox *>(w);
    case Kind::List: return qobject_cast<const QComboBox *>(w);
    case Kind::Option:
    case Kind::Colour: return qobject_cast<const QAbstractButton *>(w);
    case Kind::Console:
    case Kind::Position: break;
    }
    return false;
}

void setControl(frmOption &dialog, const OptionField &f, const IniData &d)
{
    std::visit(
        [&](auto member) {
            const auto &v = d.*member;
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, QString>) {
                if (f.kind == Kind::Caption)
                    forms::setCaption(control<QLabel>(dialog, f), v);
                else
                    forms::setText(control<QLineEdit>(dialog, f), v);
            } else if constexpr (std::is_same_v<T, int32_t>) {
                forms::setFaceColor(control<QAbstractButton>(dialog, f), uint32_t(v));
            } else if (f.kind == Kind::Check) {
                forms::setCheckValue(control<QCheckBox>(dialog, f), v);
            } else if (f.kind == Kind::List) {
                forms::setListIndex(control<QComboBox>(dialog, f), v);
            } else {
                forms::setOptionValue(control<QAbstractButton>(dialog, f), v);
            }
        },
        f.member);
}

void getControl(frmOption &dialog, const OptionField &f, IniData &d)
{
    std::visit(
        [&](auto member) {
            auto &v = d.*member;
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, QString>) {
                v = f.kind == Kind::Caption ? forms::caption(control<QLabel>(dialog, f))
                                            : forms::text(control<QLineEdit>(dialog, f));
            } else if constexpr (std::is_same_v<T, int32_t>) {
                v = int32_t(forms::faceColor(control<QAbstractButton>(dialog, f)));
            } else if (f.kind == Kind::Check) {
                v = forms::checkValue(control<QCheckBox>(dialog, f));
            } else if (f.kind == Kind::List) {
                v = forms::listIndex(control<QComboBox>(dialog, f));
            } else {
                v = forms::optionValue(control<QAbstractButton>(dialog, f));
            }
        },
        f.member);
}

} // namespace options
