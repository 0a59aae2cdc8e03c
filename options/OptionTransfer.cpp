// The options dialog's transfer operations: the controls to and from the
// settings record, and the panel options applied to the panel.
#include "core/IniData.h"
#include "core/KXP4Res.h"
#include "forms/Values.h"
#include "forms/Windows.h"
#include "options/ConsoleLink.h"
#include "options/OptionTable.h"
#include "options/frmOption.h"
#include "panel/Form1.h"
#include "platform/Units.h"
#include "ride/Ride.h"
#include "windows/mdl427_000.h"

namespace {

// The backlight state the console's buttons show: OFF, ON1, else ON2.
int backlightState()
{
    const int state = options::console().ride->backlight();
    return state == 0 || state == 1 ? state : 2;
}

} // namespace

void frmOption::SetProp()
{
    Form1 &panel = windows::Form1();
    const bool labels = forms::checkValue(*Check1) != 0;
    for (int i = 1; i <= Form1::kCells; ++i)
        panel.lblSeiriNum(i)->setVisible(labels);
    mdl427_000::SeirikenNumSet(panel, forms::listIndex(*Combo2), forms::checkValue(*Check2));

    const options::ConsoleLink &console = options::console();
    const int state = console.ride->backlight(); // -1: no button chosen yet
    panel.setSeiriNumColor(state >= 0 ? forms::faceColor(*Command5(state)) : 0);

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

    console.showBacklight(backlightState());
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
    options::console().showBacklight(backlightState());
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
    const options::ConsoleLink &console = options::console();
    console.sizePreview(platform::twipsToPixels(info.PrevWidth), platform::twipsToPixels(info.PrevHeight));
    if (info.CorpSwitch >= 1)
        kxp4::KX4_SetCorpAddList(path, console.companies);
    return 2;
}
