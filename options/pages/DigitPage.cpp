// The digits page: the fare digits' colours (with their preview) and the information digits.
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

int frmOption::buildDigitPage(QWidget *page)
{
    const int x = kMargin, width = m_pageWidth - 2 * x;
    int y = titleInset(page) + 2;

    QGroupBox *colours = Frame5.add(
        0, newFrame(page, QStringLiteral("デジタル部品の背景色と文字色（時計つきの場合はこの部分も同色となります）")));
    static const char16_t *const captions[] = {u"背景色：", u"未発光時の文字色：", u"発光時の文字色："};
    int labelWidth = 0;
    for (int i = 0; i < 3; ++i)
        labelWidth = qMax(labelWidth, Label6.add(i, newLabel(colours, QString::fromUtf16(captions[i])))->sizeHint().width());
    int cy = titleInset(colours);
    for (int i = 0; i < 3; ++i) {
        auto *b = Command8.add(i, new ColourButton(colours));
        const int bottom = put(b, kMargin + 8 + labelWidth + 6, cy, kColourWidth, 22);
        Label6(i)->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        put(Label6(i), kMargin + 8, cy, labelWidth, bottom - cy);
        cy = bottom + kGap;
    }
    const int previewLeft = kMargin + 8 + labelWidth + 6 + kColourWidth + 48;
    QLabel *previewCaption = Label6.add(3, newLabel(colours, QStringLiteral("プレビュー")));
    const int py = putNatural(previewCaption, previewLeft, titleInset(colours)) + kGap;
    M_Degit1 = new M_Degit(colours);
    M_Degit1->setAccessibleName(QStringLiteral("M_Degit1"));
    M_Degit1->setObjectName(QStringLiteral("M_Degit1"));
    M_Degit1->InitProperties();
    M_Degit1->move(previewLeft, py);
    colours->setGeometry(x, y, width, qMax(cy, py + M_Degit1->height()) + kMargin - kGap);
    y = colours->geometry().bottom() + 8;

    QGroupBox *info = Frame5.add(1, newFrame(page, QStringLiteral("情報用数字の設定")));
    static const char16_t *const rows[] = {
        u"停留所の順番（区間・個数）を、　　　　　　  コマ目に表示する。",
        u"整理券番号を、  　　　　　　コマ目に表示する。",
        u"系統番号を、  　　　　　　コマ目に表示する。",
        u"データの　　　  　　　　　列目の値を、  　　　　　　コマ目に表示する。",
    };
    for (int i = 0; i < 5; ++i) {
        auto *c = Combo4.add(i, new QComboBox(info));
        c->setEnabled(false);
    }
    int iy = titleInset(info);
    const int rowPitch = Combo4(0)->sizeHint().height() + kGap;
    for (int i = 0; i < 4; ++i) {
        auto *box = Check3.add(i, new QCheckBox(QString::fromUtf16(rows[i]), info));
        // The caption's own blanks make room for the boxes; the row grows to hold them.
        putNatural(box, kMargin, iy + (rowPitch - box->sizeHint().height()) / 2);
        iy += rowPitch;
    }
    const auto inGap = [](QCheckBox *box, QWidget *combo, int n) {
        putInGap(combo, box, captionStart(box), box->text(), n);
    };
    inGap(Check3(0), Combo4(0), 0);
    inGap(Check3(1), Combo4(1), 0);
    inGap(Check3(2), Combo4(2), 0);
    inGap(Check3(3), Combo4(4), 0);
    inGap(Check3(3), Combo4(3), 1);
    auto *fromZero = Check3.add(4, new QCheckBox(QStringLiteral("0から数える"), info));
    fromZero->setEnabled(false);
    putNatural(fromZero, Check3(0)->geometry().right() + 12, Check3(0)->y());
    Label7 = newLabel(info,
                      QStringLiteral("デジタル数字の桁ずらし、ゼロ埋めの設定は各部品をダブルクリックして設定してください。"
                                     "また、これら情報用数字は運賃の表示よりも優先されます。"),
                      true);
    forms::nameControl(*Label7, QStringLiteral("Label7"));
    iy = put(Label7, kMargin, iy + kGap, width - 2 * kMargin);
    info->setGeometry(x, y, width, iy + kMargin);
    return info->geometry().bottom();
}

void frmOption::Command8_Click(int Index)
{
    GetBtnColor(*Command8(Index));
    showPreviewColors();
}

void frmOption::showPreviewColors()
{
    M_Degit1->setBackColor(forms::faceColor(*Command8(0)));
    M_Degit1->setBaseForeColor(forms::faceColor(*Command8(1)));
    M_Degit1->setDegitForeColor(forms::faceColor(*Command8(2)));
}

bool frmOption::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::DynamicPropertyChange && M_Degit1)
        if (static_cast<QDynamicPropertyChangeEvent *>(event)->propertyName() == "faceColor")
            showPreviewColors();
    return QDialog::eventFilter(watched, event);
}

void frmOption::Check3_Click(int Index)
{
    const bool on = forms::checkValue(*Check3(Index)) != 0;
    switch (Index) {
    case 0:
        Combo4(0)->setEnabled(on);
        Check3(4)->setEnabled(on);
        break;
    case 1: Combo4(1)->setEnabled(on); break;
    case 2: Combo4(2)->setEnabled(on); break;
    case 3:
        Combo4(3)->setEnabled(on);
        Combo4(4)->setEnabled(on);
        break;
    default: break;
    }
}
