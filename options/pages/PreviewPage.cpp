// The ticket preview page: the plug-in, its properties and notes, the ticket date.
#include "options/frmOption.h"

#include "core/FontNames.h"
#include "core/KXP4Res.h"
#include "forms/Handlers.h"
#include "forms/Values.h"
#include "forms/Windows.h"
#include "options/ConsoleLink.h"
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

int frmOption::buildPreviewPage(QWidget *page)
{
    const int x = kMargin, width = m_pageWidth - 2 * x;
    int y = titleInset(page) + 2;
    chkUseSeiriPrev = new QCheckBox(QStringLiteral("整理券プレビュー機能を使用する"), page);
    forms::nameControl(*chkUseSeiriPrev, QStringLiteral("chkUseSeiriPrev"));
    y = putNatural(chkUseSeiriPrev, x, y) + kGap;

    const int inner = width - 2 * kMargin;
    Frame10 = newFrame(page, QStringLiteral("整理券プラグイン設定"));
    forms::nameControl(*Frame10, QStringLiteral("Frame10"));
    int fy = titleInset(Frame10);
    Label2 = newLabel(Frame10, QStringLiteral("整理券プラグイン（整理券プレビューを使用しない場合は、何も入れないでください）："),
                      true);
    forms::nameControl(*Label2, QStringLiteral("Label2"));
    fy = put(Label2, kMargin, fy, inner) + 2;
    txtSeiriPlgDir = new QLineEdit(Frame10);
    forms::nameControl(*txtSeiriPlgDir, QStringLiteral("txtSeiriPlgDir"));
    const int pathBottom = put(txtSeiriPlgDir, kMargin, fy, inner - 2 * (kChooserWidth + kGap));
    Command1 = new QPushButton(QStringLiteral("..."), Frame10);
    forms::nameControl(*Command1, QStringLiteral("Command1"));
    put(Command1, kMargin + inner - 2 * kChooserWidth - kGap, fy, kChooserWidth, pathBottom - fy);
    // The clear button shows the usual close glyph in place of a symbol font's.
    Command11 = new QPushButton(Frame10);
    forms::nameControl(*Command11, QStringLiteral("Command11"));
    Command11->setIcon(style()->standardIcon(QStyle::SP_LineEditClearButton, nullptr, Command11));
    put(Command11, kMargin + inner - kChooserWidth, fy, kChooserWidth, pathBottom - fy);
    fy = pathBottom + 6;

    const int half = (inner - kMargin) / 2;
    Label11 = newLabel(Frame10, QStringLiteral("上記プラグインのプロパティ："));
    forms::nameControl(*Label11, QStringLiteral("Label11"));
    Label13 = newLabel(Frame10, QStringLiteral("上記プラグインの特記事項："));
    forms::nameControl(*Label13, QStringLiteral("Label13"));
    put(Label11, kMargin, fy, half);
    fy = put(Label13, kMargin + half + kMargin, fy, half) + 2;
    List1 = new QListWidget(Frame10);
    forms::nameControl(*List1, QStringLiteral("List1"));
    txtPlginComment = new QPlainTextEdit(Frame10);
    forms::nameControl(*txtPlginComment, QStringLiteral("txtPlginComment"));
    txtPlginComment->setReadOnly(true);
    QPalette grey = txtPlginComment->palette();
    grey.setColor(QPalette::Base, grey.color(QPalette::Window));
    txtPlginComment->setPalette(grey);
    // Tall enough for the ten capability lines a plug-in gives, and as many
    // lines of notes, with no scroll bar.
    constexpr int kLines = 10;
    List1->addItem(QStringLiteral("整理券番号ｱ0"));
    const int rowHeight = List1->sizeHintForRow(0);
    List1->clear();
    const int listHeight = qMax(rowHeight * kLines + 2 * List1->frameWidth(),
                                txtPlginComment->fontMetrics().lineSpacing() * kLines
                                    + 2 * int(txtPlginComment->document()->documentMargin())
                                    + 2 * txtPlginComment->frameWidth() + 1);
    List1->setGeometry(kMargin, fy, half, listHeight);
    txtPlginComment->setGeometry(kMargin + half + kMargin, fy, half, listHeight);
    fy += listHeight + kMargin - 2;
    Frame10->setGeometry(x, y, width, fy);
    y += fy + kGap;

    Frame7 = newFrame(page, QStringLiteral("日付の設定（整理券プラグインが日付の印字をサポートしているときに有効）"));
    forms::nameControl(*Frame7, QStringLiteral("Frame7"));
    fy = titleInset(Frame7);
    auto *dateAuto = Option4.add(0, new QRadioButton(QStringLiteral("システムの日付を使用（整理券印字と同時に日付を更新、デフォルト）"), Frame7));
    auto *dateKeep = Option4.add(1, new QRadioButton(QStringLiteral("システムの日付を使用（系統設定した時点の日付を保持）"), Frame7));
    auto *dateFixed = Option4.add(2, new QRadioButton(QStringLiteral("右記の日付に固定"), Frame7));
    group(this, dateAuto, dateKeep, dateFixed);
    fy = put(dateAuto, kMargin, fy, inner) + 2;
    fy = put(dateKeep, kMargin, fy, inner);
    Label14 = newLabel(Frame7,
                       QStringLiteral("系統設定した際の日付が保持され、日付が途中で変わっても次回系統設定するまで整理券の日付変更を行いません。"),
                       true);
    forms::nameControl(*Label14, QStringLiteral("Label14"));
    fy = put(Label14, kMargin + 22, fy, inner - 22) + kGap;
    const int fixedTop = fy;
    Command7 = new QPushButton(QStringLiteral("日付選択..."), Frame7);
    forms::nameControl(*Command7, QStringLiteral("Command7"));
    const int rowH = Command7->sizeHint().height();
    put(dateFixed, kMargin, fixedTop, dateFixed->sizeHint().width(), rowH);
    Label10 = new QLabel(Frame7);
    forms::nameControl(*Label10, QStringLiteral("Label10"), forms::Naming::ByName);
    Label10->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Label10->setAlignment(Qt::AlignCenter);
    const int dateLeft = dateFixed->geometry().right() + 10;
    const int dateWidth = fontMetrics().horizontalAdvance(QStringLiteral("0000/00/00")) + 16;
    put(Label10, dateLeft, fixedTop, dateWidth, rowH);
    fy = put(Command7, dateLeft + dateWidth + kGap, fixedTop, Command7->sizeHint().width() + 12, rowH) + kMargin;
    Frame7->setGeometry(x, y, width, fy);

    // Shown only while the preview is in use.
    for (QWidget *f : {static_cast<QWidget *>(Frame10), static_cast<QWidget *>(Frame7)}) {
        f->setEnabled(false);
        f->hide();
    }
    return y + fy;
}

void frmOption::Command1_Click()
{
    const QChar nul(0);
    const QString filter = QStringLiteral("整理券プラグイン(*.4SP)") + nul + QStringLiteral("*.4SP") + nul + nul;
    QString chosen = chooseFile(filter, QStringLiteral("プラグインの選択"));
    if (chosen.isEmpty())
        return;
    options::console().companies->clear();
    if (SetPlgin(chosen) != 0)
        forms::setText(*txtSeiriPlgDir, chosen);
    else
        platform::MsgBox(QStringLiteral("指定したファイルはプラグインでないか、内容が不正です"), platform::vbCritical,
                         QStringLiteral("プラグインロードエラー"));
}

void frmOption::Command11_Click()
{
    forms::setText(*txtSeiriPlgDir, QString());
    List1->clear();
    txtPlginComment->clear();
}

void frmOption::Command7_Click()
{
    kxp4::SystemTime date;
    if (kxp4::Call_dlg111(this, date) == 0)
        return;
    forms::setCaption(*Label10, QStringLiteral("%1/%2/%3")
                                    .arg(date.wYear)
                                    .arg(date.wMonth, 2, 10, QLatin1Char('0'))
                                    .arg(date.wDay, 2, 10, QLatin1Char('0')));
}

void frmOption::chkUseSeiriPrev_Click()
{
    const bool on = forms::checkValue(*chkUseSeiriPrev) != 0;
    for (QWidget *f : {static_cast<QWidget *>(Frame10), static_cast<QWidget *>(Frame7)}) {
        f->setEnabled(on);
        f->setVisible(on);
    }
}
