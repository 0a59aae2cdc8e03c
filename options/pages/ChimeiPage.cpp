// The stop-name page: the strip's colours and font.
#include "options/frmOption.h"

#include "core/FontNames.h"
#include "core/KXP4Res.h"
#include "forms/Handlers.h"
#include "forms/Values.h"
#include "forms/Windows.h"
#include "options/ColourButton.h"
#include "options/OptionTable.h"
#include "options/PageKit.h"
#include "options/StoredTextBox.h"
#include "options/WrapButtons.h"
#include "platform/MsgBox.h"
#include "platform/Shell.h"
#include "platform/Units.h"

#include <QButtonGroup>
#include <QDate>
#include <QDynamicPropertyChangeEvent>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTextDocument>
#include <algorithm>

using namespace optionpages;
using platform::rgb;
using platform::twipsToPixels;

int frmOption::buildChimeiPage(QWidget *page)
{
    const int x = kMargin + 4;
    int y = titleInset(page) + 8;
    static const char16_t *const captions[] = {u"背景色：", u"文字色："};
    int labelWidth = 0;
    for (int i = 0; i < 2; ++i)
        labelWidth = qMax(labelWidth, Label8.add(i, newLabel(page, QString::fromUtf16(captions[i])))->sizeHint().width());
    for (int i = 0; i < 2; ++i) {
        auto *b = Command9.add(i, new ColourButton(page));
        const int bottom = put(b, x + labelWidth + 6, y, kColourWidth, 22);
        put(Label8(i), x, y, labelWidth, bottom - y);
        y = bottom + 8;
    }
    Label9 = newLabel(page, QStringLiteral("フォントオプション："));
    forms::nameControl(*Label9, QStringLiteral("Label9"));
    y = putNatural(Label9, x, y + 8) + 2;
    Combo3 = new QComboBox(page);
    forms::nameControl(*Combo3, QStringLiteral("Combo3"));
    Combo3->addItems({QStringLiteral("ゴシック体"), QStringLiteral("明朝体"), QStringLiteral("漢字はゴシック、それ以外は明朝"),
                      QStringLiteral("漢字は明朝、それ以外はゴシック"), QStringLiteral("英数字はゴシック、それ以外は明朝")});
    y = put(Combo3, x, y, qMax(240, Combo3->sizeHint().width())) + 10;
    Check4 = new QCheckBox(QStringLiteral("太字（表示の不具合はサポート対象外）"), page);
    forms::nameControl(*Check4, QStringLiteral("Check4"));
    return putNatural(Check4, x, y);
}

void frmOption::Command9_Click(int Index)
{
    GetBtnColor(*Command9(Index));
}
