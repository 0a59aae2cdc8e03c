// The sound page: the step sounds and the sounds before an announcement, each with how it plays.
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

int frmOption::buildSoundPage(QWidget *page)
{
    const int x = kMargin, width = m_pageWidth - 2 * x;
    int y = titleInset(page) + 2;

    // A caption, then a sound path and its chooser filling the rest of the row.
    const auto soundRow = [this](QWidget *parent, QLabel *caption, int index, int left, int captionWidth, int top,
                                 int right) {
        QLineEdit *t = txtSelectSound.add(index, new QLineEdit(parent));
        const int textLeft = left + captionWidth + kGap;
        const int bottom = put(t, textLeft, top, right - textLeft - kChooserWidth - kGap);
        put(cmdSelectSound.add(index, new QPushButton(QStringLiteral("..."), parent)), right - kChooserWidth, top,
            kChooserWidth, bottom - top);
        if (caption) {
            caption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            put(caption, left, top, captionWidth, bottom - top);
        }
        return bottom;
    };

    QLabel *routeSet = Label1.add(0, newLabel(page, QStringLiteral("系統設定時のサウンド：")));
    QLabel *reset = Label1.add(1, newLabel(page, QStringLiteral("リセット時のサウンド：")));
    const int topCaption = qMax(routeSet->sizeHint().width(), reset->sizeHint().width());
    y = soundRow(page, routeSet, 0, x + 4, topCaption, y, x + width) + kGap;
    y = soundRow(page, reset, 1, x + 4, topCaption, y, x + width) + 8;

    auto *stepButton = Option5.add(1, new QPushButton(QStringLiteral("送り・戻し時のサウンド..."), page));
    auto *tapeButton = Option5.add(0, new QPushButton(QStringLiteral("放送前のサウンド..."), page));
    for (QPushButton *b : {stepButton, tapeButton}) {
        b->setCheckable(true);
        b->setAutoExclusive(true);
        b->setAutoDefault(false);
    }
    group(this, stepButton, tapeButton);
    const int bw = qMax(stepButton->sizeHint().width(), tapeButton->sizeHint().width()) + 16;
    put(stepButton, x + 4, y, bw, 24);
    y = put(tapeButton, x + 4 + bw + kGap, y, bw, 24);
    forms::setOptionValue(*stepButton, -1);
    const int frameTop = y + kGap;

    const int fw = width, inner = fw - 2 * kMargin;
    const auto chooseRows = [&](QGroupBox *f, int alwaysIndex, int pathIndex, int byIndex, const QString &byCaption,
                                int fy) {
        auto *always = Option2.add(alwaysIndex, new QRadioButton(QStringLiteral("常に右記のサウンドを鳴らす"), f));
        auto *by = Option2.add(byIndex, new WrapRadioButton(byCaption, f));
        group(this, always, by);
        const int aw = always->sizeHint().width();
        const int bottom = soundRow(f, nullptr, pathIndex, kMargin + aw, 0, fy, kMargin + inner);
        put(always, kMargin, fy, aw, bottom - fy);
        fy = put(by, kMargin, bottom + kGap, inner) + kGap;
        return fy;
    };
    const auto valueRows = [&](QGroupBox *f, int firstLabel, int firstPath, int fy) {
        static const char16_t *const cases[] = {u"「1」の場合", u"「2」の場合", u"「3」の場合"};
        int cw = 0;
        for (int k = 0; k < 3; ++k)
            cw = qMax(cw, Label1.add(firstLabel + k, newLabel(f, QString::fromUtf16(cases[k])))->sizeHint().width());
        for (int k = 0; k < 3; ++k)
            fy = soundRow(f, Label1(firstLabel + k), firstPath + k, kMargin + 24, cw, fy, kMargin + inner) + kGap;
        return fy;
    };
    const auto playFrame = [&](QGroupBox *play, forms::ControlArray<QRadioButton> &buttons,
                               const QString &sync, const QString &async, int fy) {
        auto *s = buttons.add(0, new QRadioButton(sync, play));
        auto *a = buttons.add(1, new QRadioButton(async, play));
        group(this, s, a);
        int py = titleInset(play);
        py = put(s, kMargin, py, inner - 2 * kMargin) + 2;
        py = put(a, kMargin, py, inner - 2 * kMargin);
        play->setGeometry(kMargin, fy, inner, py + kMargin);
        return fy + play->height() + kGap;
    };

    // Sound on each step.
    QGroupBox *step = Frame2.add(1, newFrame(page, QStringLiteral("送り・戻し時のサウンド")));
    int sy = chooseRows(step, 0, 7, 1,
                        QStringLiteral("運賃データ(*.hy3)の特定の列のデータから判断して、以下の指定したサウンドを鳴らす"
                                       "（指定した列のデータの内容が1～3以外の場合はサウンドは鳴りません）"),
                        titleInset(step));
    const QString columnCaption = QStringLiteral("運賃データの") + QString(7, kIdeographicSpace) + QStringLiteral("列目")
                                  + kIdeographicSpace + QStringLiteral("のデータが、");
    QLabel *column = Label1.add(2, newLabel(step, columnCaption));
    Combo1 = new QComboBox(step);
    forms::nameControl(*Combo1, QStringLiteral("Combo1"));
    const int rowH = Combo1->sizeHint().height();
    put(column, kMargin + 24, sy, column->sizeHint().width(), rowH);
    putInGap(Combo1, column, 0, columnCaption, 0);
    sy = valueRows(step, 3, 8, sy + rowH + kGap);
    Frame8 = newFrame(step, QStringLiteral("再生方法"));
    forms::nameControl(*Frame8, QStringLiteral("Frame8"));
    sy = playFrame(Frame8, Option6, QStringLiteral("同期再生(サウンドが完全に再生された後で運賃切り替え)"),
                   QStringLiteral("非同期再生(サウンドを再生しながら運賃切り替え)"), sy + 2);

    // Sound before an announcement.
    QGroupBox *tape = Frame2.add(
        0, newFrame(page, QStringLiteral("放送前のサウンド：※音声合成放送機能が有効でない場合は以下の設定は意味を持ちません。")));
    int ty = chooseRows(tape, 2, 3, 3,
                        QStringLiteral("放送データ(*.Tp.csv)内のフラグから判断して、以下の指定したサウンドを鳴らす"
                                       "（フラグの内容が1～3以外の場合はサウンドは鳴りません）"),
                        titleInset(tape));
    ty = valueRows(tape, 9, 4, ty);
    Frame9 = newFrame(tape, QStringLiteral("再生方法"));
    forms::nameControl(*Frame9, QStringLiteral("Frame9"));
    ty = playFrame(Frame9, Option7, QStringLiteral("同期再生(サウンドが完全に再生された後で放送開始)"),
                   QStringLiteral("非同期再生(サウンドを再生しながら放送開始)"), ty + 2);
    QLabel *note = Label1.add(
        7, newLabel(tape,
                    QStringLiteral("「放送前のサウンド」再生時は、停名のスクロールが停止することがありますので、"
                                   "あらかじめご了承ください。"),
                    true));
    ty = put(note, kMargin, ty, inner) + kMargin;

    // The two frames share one place and one size.
    const int frameHeight = qMax(sy + kMargin - kGap, ty);
    step->setGeometry(x, frameTop, fw, frameHeight);
    tape->setGeometry(x, frameTop, fw, frameHeight);
    tape->hide();

    // A synchronous sound holds the console until it ends.
    lblSyncNote = newLabel(
        page, QStringLiteral("※同期再生のサウンドは鳴り終わるまで操作できませんので、短いものを指定してください。"), true);
    forms::nameControl(*lblSyncNote, QStringLiteral("lblSyncNote"));
    return put(lblSyncNote, x + 4, frameTop + frameHeight + kGap, width - 4);
}

void frmOption::cmdSelectSound_Click(int Index)
{
    const QString chosen = chooseFile(soundFilter(), QStringLiteral("サウンドの選択"));
    if (!chosen.isEmpty())
        forms::setText(*txtSelectSound(Index), chosen);
}

void frmOption::Option5_Click(int Index)
{
    for (auto [i, frame] : Frame2)
        frame->setVisible(i == Index);
    Frame2(Index)->raise();
    m_frontSoundFrame = Index;
}
