// The panel page: the ticket-number row, its scheme and colours, the panel pictures.
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

int frmOption::buildPanelPage(QWidget *page)
{
    const int x = kMargin;
    const int width = m_pageWidth - 2 * x;
    int y = titleInset(page) + 2;

    Check1 = new QCheckBox(QStringLiteral("整理券番号自動表示機能を使用"), page);
    forms::nameControl(*Check1, QStringLiteral("Check1"));
    y = putNatural(Check1, x, y);
    Label15 = newLabel(
        page, QStringLiteral("※ユーザーパネルに直接番号をデザインしている場合には上記チェックをOFFにしてください。"), true);
    forms::nameControl(*Label15, QStringLiteral("Label15"));
    y = put(Label15, x + 18, y, width - 18) + 6;

    // Left: the panel pictures; right: the ticket-number row.
    const int leftWidth = (width - kMargin) * 56 / 100;
    const int rightLeft = x + leftWidth + kMargin, rightWidth = m_pageWidth - kMargin - rightLeft;

    Frame4 = newFrame(page, QStringLiteral("本体パネル"));
    forms::nameControl(*Frame4, QStringLiteral("Frame4"));
    const int inner = leftWidth - 2 * kMargin;
    int fy = titleInset(Frame4);
    auto *autoAssign = Option3.add(0, new QRadioButton(QStringLiteral("内蔵しているパネルを自動で割り当てる"), Frame4));
    auto *individual = Option3.add(1, new QRadioButton(QStringLiteral("個別に設定する"), Frame4));
    group(this, autoAssign, individual);
    fy = put(autoAssign, kMargin, fy, inner) + 2;
    fy = put(individual, kMargin, fy, inner) + kGap;

    static const char16_t *const stateCaptions[] = {u"バックライトOFF時の画像：", u"ON1の画像：", u"ON2の画像："};
    static const int builtinIndex[] = {7, 3, 4}, userIndex[] = {6, 2, 5};
    for (int k = 0; k < 3; ++k) {
        QGroupBox *f = Frame6.add(k, newFrame(Frame4, QString::fromUtf16(stateCaptions[k])));
        int sy = titleInset(f);
        auto *builtin = Option3.add(builtinIndex[k], new QRadioButton(QStringLiteral("内蔵"), f));
        auto *user = Option3.add(userIndex[k], new QRadioButton(QStringLiteral("ユーザーパネル"), f));
        group(this, builtin, user);
        putNatural(builtin, kMargin, sy);
        sy = putNatural(user, kMargin + builtin->width() + 16, sy) + 2;
        const int fw = inner - 2 * kMargin;
        QLineEdit *t = txtSelectPanel.add(k, new QLineEdit(f));
        const int bottom = put(t, kMargin, sy, fw - kChooserWidth - kGap);
        put(Command6.add(k, new QPushButton(QStringLiteral("..."), f)), kMargin + fw - kChooserWidth, sy,
            kChooserWidth, bottom - sy);
        f->setGeometry(kMargin, fy, inner, bottom + kMargin);
        fy += f->height() + kGap;
        // Shown only while the pictures are set one by one.
        f->setEnabled(false);
        f->hide();
    }
    Frame4->setGeometry(x, y, leftWidth, fy + kMargin - kGap);

    Frame3 = new QFrame(page);
    forms::nameControl(*Frame3, QStringLiteral("Frame3"));
    Frame3->setFrameStyle(QFrame::Box | QFrame::Sunken);
    const int rw = rightWidth - 2 * kMargin;
    int ry = kMargin;
    ry = put(Label4.add(5, newLabel(Frame3, QStringLiteral("整理券番号表示設定"))), kMargin, ry, rw) + 2;
    Combo2 = new QComboBox(Frame3);
    forms::nameControl(*Combo2, QStringLiteral("Combo2"));
    ry = put(Combo2, kMargin, ry, rw) + kGap;
    Check2 = new QCheckBox(QStringLiteral("数字が1桁の番号は頭に0を付け足す"), Frame3);
    forms::nameControl(*Check2, QStringLiteral("Check2"));
    ry = put(Check2, kMargin, ry, rw) + 8;
    ry = put(Label4.add(1, newLabel(Frame3, QStringLiteral("整理券番号のバックライトカラー(文字色)"), true)), kMargin,
             ry, rw) + kGap;
    static const char16_t *const colourCaptions[] = {u"OFF：", u"ON1：", u"ON2："};
    for (int k = 0; k < 3; ++k) {
        QLabel *l = Label4.add(k + 2, newLabel(Frame3, QString::fromUtf16(colourCaptions[k])));
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto *b = Command5.add(k, new ColourButton(Frame3));
        const int bottom = put(b, kMargin + 60, ry, kColourWidth, 22);
        put(l, kMargin + 8, ry, 48, bottom - ry);
        ry = bottom + kGap;
    }
    Frame3->setGeometry(rightLeft, y, rightWidth, qMax(ry + kMargin - kGap, Frame4->height()));

    y = qMax(Frame4->geometry().bottom(), Frame3->geometry().bottom()) + 8;
    QLabel *note = Label5.add(
        1, newLabel(page,
                    QStringLiteral("※ユーザーパネルには、現在の機種に対応の画像をご使用ください。大きいパネルの場合、"
                                   "はみ出た部分（右・下）が切り取られます。逆に小さいパネルの場合は左上から表示され、"
                                   "余白部分はグレーになりますのでご注意ください。"),
                    true));
    return put(note, x, y, width);
}

void frmOption::AddComboItem()
{
    static const char16_t *const heads[] = {
        u"1,2,3...",       u"0,1,2...",       u"「なし」、1,2...", u"「なし」、2,3...",
        u"「無券」、1,2...", u"「無券」、2,3...", u"「券なし」、1,2...", u"「券なし」、2,3...",
        u"「券無し」、1,2...", u"「券無し」、2,3...", u"(無地)、1,2...",   u"(無地)、2,3...",
    };
    static const int lasts[] = {60, 59, 59, 60, 59, 60, 59, 60, 59, 60, 59, 60};
    QStringList items;
    for (int i = 0; i < 12; ++i) {
        items << QString::fromUtf16(heads[i]) + QLatin1Char(' ') + QString::number(lasts[i])
                     + (i == 0 ? QStringLiteral(" （既定の表示）") : QString());
    }
    Combo2->addItems(items);
    forms::setListIndex(*Combo2, 0);
}

void frmOption::Command6_Click(int Index)
{
    const QString chosen = chooseFile(panelImageFilter(), QStringLiteral("パネル画像の選択"));
    if (!chosen.isEmpty())
        forms::setText(*txtSelectPanel(Index), chosen);
}

void frmOption::Command5_Click(int Index)
{
    GetBtnColor(*Command5(Index));
}

void frmOption::Option3_Click(int)
{
    const bool v = forms::optionValue(*Option3(0)) == 0;
    for (auto [i, frame] : Frame6) {
        frame->setEnabled(v);
        frame->setVisible(v);
    }
}

void frmOption::Check1_Click()
{
    // Follows the value, so a box set twice to the same value cannot desynchronise.
    Frame3->setEnabled(forms::checkValue(*Check1) != 0);
}
