#include "options/OptionTable.h"

#include "core/VbError.h"
#include "forms/Values.h"
#include "options/frmOption.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace options {

namespace {

#define S4_FIELD(name, control, kind) OptionField{#name, control, Kind::kind, &IniData::name}

const QList<OptionField> kPanel = {
    S4_FIELD(FareDataDir, "Text2(0)", Text),
    S4_FIELD(TapeDataDir, "Text2(1)", Text),
    S4_FIELD(UseSeiriNumAuto, "Check1", Check),
    S4_FIELD(SeiriNumColorOff, "Command5(0)", Colour),
    S4_FIELD(SeiriNumColorOn1, "Command5(1)", Colour),
    S4_FIELD(SeiriNumColorOn2, "Command5(2)", Colour),
    S4_FIELD(SeiriNumStyle, "Combo2", List),
    S4_FIELD(SeiriNumZeroPad, "Check2", Check),
    S4_FIELD(PanelAutoAssign, "Option3(0)", Option),
    S4_FIELD(PanelIndividual, "Option3(1)", Option),
    S4_FIELD(PanelOffBuiltin, "Option3(7)", Option),
    S4_FIELD(PanelOffUser, "Option3(6)", Option),
    S4_FIELD(PanelOn1Builtin, "Option3(3)", Option),
    S4_FIELD(PanelOn1User, "Option3(2)", Option),
    S4_FIELD(PanelOn2Builtin, "Option3(4)", Option),
    S4_FIELD(PanelOn2User, "Option3(5)", Option),
    S4_FIELD(PanelOffPath, "txtSelectPanel(0)", Text),
    S4_FIELD(PanelOn1Path, "txtSelectPanel(1)", Text),
    S4_FIELD(PanelOn2Path, "txtSelectPanel(2)", Text),
};

const QList<OptionField> kDigits = {
    S4_FIELD(DegitBackColor, "Command8(0)", Colour),
    S4_FIELD(DegitUnlitColor, "Command8(1)", Colour),
    S4_FIELD(DegitLitColor, "Command8(2)", Colour),
    S4_FIELD(InfoStopOrderOn, "Check3(0)", Check),
    S4_FIELD(InfoStopOrderKoma, "Combo4(0)", List),
    S4_FIELD(InfoStopOrderFromZero, "Check3(4)", Check),
    S4_FIELD(InfoSeiriNumOn, "Check3(1)", Check),
    S4_FIELD(InfoSeiriNumKoma, "Combo4(1)", List),
    S4_FIELD(InfoKeitoNumOn, "Check3(2)", Check),
    S4_FIELD(InfoKeitoNumKoma, "Combo4(2)", List),
    S4_FIELD(InfoColumnOn, "Check3(3)", Check),
    S4_FIELD(InfoColumnIndex, "Combo4(4)", List),
    S4_FIELD(InfoColumnKoma, "Combo4(3)", List),
};

const QList<OptionField> kRest = {
    S4_FIELD(ChimeiBackColor, "Command9(0)", Colour),
    S4_FIELD(ChimeiForeColor, "Command9(1)", Colour),
    S4_FIELD(ChimeiFontMode, "Combo3", List),
    S4_FIELD(ChimeiFontBold, "Check4", Check),
    S4_FIELD(SoundKeitoSet, "txtSelectSound(0)", Text),
    S4_FIELD(SoundReset, "txtSelectSound(1)", Text),
    S4_FIELD(StepSoundSync, "Option6(0)", Option),
    S4_FIELD(StepSoundAsync, "Option6(1)", Option),
    S4_FIELD(StepSoundAlways, "Option2(0)", Option),
    S4_FIELD(StepSoundByColumn, "Option2(1)", Option),
    S4_FIELD(StepSoundPath, "txtSelectSound(7)", Text),
    S4_FIELD(StepSoundColumn, "Combo1", List),
    S4_FIELD(StepSound1, "txtSelectSound(8)", Text),
    S4_FIELD(StepSound2, "txtSelectSound(9)", Text),
    S4_FIELD(StepSound3, "txtSelectSound(10)", Text),
    S4_FIELD(TapeSoundSync, "Option7(0)", Option),
    S4_FIELD(TapeSoundAsync, "Option7(1)", Option),
    S4_FIELD(TapeSoundAlways, "Option2(2)", Option),
    S4_FIELD(TapeSoundByFlag, "Option2(3)", Option),
    S4_FIELD(TapeSoundPath, "txtSelectSound(3)", Text),
    S4_FIELD(TapeSound1, "txtSelectSound(4)", Text),
    S4_FIELD(TapeSound2, "txtSelectSound(5)", Text),
    S4_FIELD(TapeSound3, "txtSelectSound(6)", Text),
    S4_FIELD(UseSeiriPrev, "chkUseSeiriPrev", Check),
    S4_FIELD(SeiriPlgPath, "txtSeiriPlgDir", Text),
    S4_FIELD(SeiriDateAuto, "Option4(0)", Option),
    S4_FIELD(SeiriDateKeep, "Option4(1)", Option),
    S4_FIELD(SeiriDateFixed, "Option4(2)", Option),
    S4_FIELD(SeiriFixedDate, "Label10", Caption),
};

#undef S4_FIELD

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
    switch (run) {
    case Run::Panel: return kPanel;
    case Run::Digits: return kDigits;
    case Run::Rest: break;
    }
    return kRest;
}

QList<OptionField> allOptionFields()
{
    return kPanel + kDigits + kRest;
}

QWidget *controlOf(frmOption &dialog, const OptionField &f)
{
    return dialog.findChild<QWidget *>(QLatin1String(f.control));
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
