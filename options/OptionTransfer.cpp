// The options dialog's transfer operations: the controls to and from the
// settings record, and the panel options applied to the panel.
#include "console/frmCtl.h"
#include "core/IniData.h"
#include "core/KXP4Res.h"
#include "forms/Values.h"
#include "forms/Windows.h"
#include "options/OptionTable.h"
#include "options/frmOption.h"
#include "panel/Form1.h"
#include "windows/mdl427_000.h"
#include "platform/Units.h"

namespace {

// The backlight state the console's buttons show: OFF, ON1, else ON2.
int backlightState()
{
    frmCtl &console = windows::frmCtl();
    if (forms::optionValue(*console.Option4(0)))
        return 0;
    if (forms::optionValue(*console.Option4(1)))
        return 1;
    return 2;
}

} // namespace

void frmOption::SetProp()
{
    Form1 &panel = windows::Form1();
    const bool labels = forms::checkValue(*Check1) != 0;
    for (int i = 1; i <= Form1::kCells; ++i)
        panel.lblSeiriNum(i)->setVisible(labels);
    mdl427_000::SeirikenNumSet(panel, forms::listIndex(*Combo2), forms::checkValue(*Check2));

    frmCtl &console = windows::frmCtl();
    uint32_t colour = 0;
    for (int i = 0; i < 3; ++i)
        if (forms::optionValue(*console.Option4(i))) {
            colour = forms::faceColor(*Command5(i));
            break;
        }
    panel.setSeiriNumColor(colour);

    const uint32_t back = forms::faceColor(*Command8(0)), unlit = forms::faceColor(*Command8(1)),
                   lit = forms::faceColor(*Command8(2));
    const auto colourDigit = [&](M_Degit &d) {
        d.setBackColor(back);
        d.setBaseForeColor(unlit);
        d.setDegitForeColor(lit);
    };
    for (int i = 1; i <= Form1::kCells; ++i)
        colourDigit(*panel.Degit(i));
    colourDigit(*panel.TimeDegit(0));
    colourDigit(*panel.TimeDegit(1));

    ChimeiCtl_A &strip = *panel.ChimeiCtl();
    strip.setBackColor(forms::faceColor(*Command9(0)));
    strip.setForeColor(forms::faceColor(*Command9(1)));
    strip.setFontMode(forms::listIndex(*Combo3));
    strip.setFontBold(forms::checkValue(*Check4) == 1);

    console.Option4_Click(backlightState());
}

void frmOption::GetOptionInfo(IniData &d)
{
    for (const options::OptionField &f : options::allOptionFields())
        options::getControl(*this, f, d);
}

void frmOption::SetOptionInfo(const IniData &d)
{
    using options::Run;
    for (const options::OptionField &f : options::optionFields(Run::Panel))
        options::setControl(*this, f, d);
    windows::frmCtl().Option4_Click(backlightState());
    for (const options::OptionField &f : options::optionFields(Run::Digits))
        options::setControl(*this, f, d);
    M_Degit1->setBackColor(forms::faceColor(*Command8(0)));
    M_Degit1->setBaseForeColor(forms::faceColor(*Command8(1)));
    M_Degit1->setDegitForeColor(forms::faceColor(*Command8(2)));
    for (const options::OptionField &f : options::optionFields(Run::Rest))
        options::setControl(*this, f, d);
    QString plugin = forms::text(*txtSeiriPlgDir);
    SetPlgin(plugin); // silent: a missing or invalid plug-in leaves the page empty
}

int32_t frmOption::SetPlgin(QString &path)
{
    if (path.isEmpty())
        return 0;
    kxp4::PlgInfo info;
    if (kxp4::KX4_GetPlgInfo(path, info) == 0)
        return 0;
    kxp4::KX4_SetPlgComment(path, txtPlginComment);
    List1->clear();
    List1->addItems(kxp4::capabilityLines(info));
    frmCtl &console = windows::frmCtl();
    console.setPreviewSize(platform::twipsToPixels(info.PrevWidth), platform::twipsToPixels(info.PrevHeight));
    if (info.CorpSwitch >= 1)
        kxp4::KX4_SetCorpAddList(path, console.Combo1);
    return 2;
}
