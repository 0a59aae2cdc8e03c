// The first page, "運賃データと放送用データ": the fare data and announcement folders.
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
#include "windows/GtfsImport.h"
#include "windows/RouteCsvImport.h"

#include <QButtonGroup>
#include <QDate>
#include <QDynamicPropertyChangeEvent>
#include <QGroupBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTextDocument>
#include <algorithm>

using namespace optionpages;
using platform::rgb;
using platform::twipsToPixels;

int frmOption::buildDataPage(QWidget *page)
{
    const int x = kMargin + 4, width = m_pageWidth - 2 * x;
    int y = titleInset(page) + 4;
    static const char16_t *const captions[] = {u"運賃データ(*.hy3)のあるフォルダー：",
                                               u"放送用データ(*****Tp.csv)のあるフォルダー："};
    static const char16_t *const openCaptions[] = {u"上記運賃データの場所をエクスプローラで開く",
                                                   u"上記放送用データの場所をエクスプローラで開く"};
    for (int i = 0; i < 2; ++i) {
        y = put(Label3.add(i, newLabel(page, QString::fromUtf16(captions[i]), true)), x, y, width) + 2;
        QLineEdit *t = Text2.add(i, new QLineEdit(page));
        const int bottom = put(t, x, y, width - kChooserWidth - kGap);
        put(Command3.add(i, new QPushButton(QStringLiteral("..."), page)), x + width - kChooserWidth, y,
            kChooserWidth, bottom - y);
        y = bottom + kGap;
        auto *open = Command10.add(i, new QPushButton(QString::fromUtf16(openCaptions[i]), page));
        y = put(open, x, y, open->sizeHint().width() + 16) + 18;
    }
    // Routes from a published feed, written into the two folders above.
    QGroupBox *feed = newFrame(page, QStringLiteral("公開されているバス情報（GTFS）から"));
    int fy = titleInset(feed);
    cmdImportGtfs = new QPushButton(QStringLiteral("GTFSデータから系統を取り込む..."), feed);
    forms::nameControl(*cmdImportGtfs, QStringLiteral("cmdImportGtfs"));
    fy = put(cmdImportGtfs, kMargin, fy, cmdImportGtfs->sizeHint().width() + 16) + kGap;
    fy = put(newLabel(feed,
                      QStringLiteral("事業者が公開しているGTFS・GTFS-JPのデータから、停留所名・整理券番号ごとの運賃・"
                                     "放送用データを作ります。"),
                      true),
             kMargin, fy, width - 2 * kMargin) + kMargin;
    y = put(feed, x, y, width, fy) + kGap;
    // A route of one's own, as the route spreadsheet and its list are written.
    QGroupBox *own = newFrame(page, QStringLiteral("自分で作った系統から"));
    int oy = titleInset(own);
    cmdImportCsv = new QPushButton(QStringLiteral("表計算のCSVから系統を取り込む..."), own);
    forms::nameControl(*cmdImportCsv, QStringLiteral("cmdImportCsv"));
    oy = put(cmdImportCsv, kMargin, oy, cmdImportCsv->sizeHint().width() + 16) + kGap;
    oy = put(newLabel(own, QStringLiteral("表計算で作った系統のCSVと放送リストから、運賃データと放送用データを作ります。"), true),
             kMargin, oy, width - 2 * kMargin) + kMargin;
    y = put(own, x, y, width, oy);
    return y;
}

void frmOption::cmdImportGtfs_Click()
{
    GtfsImport dialog(this);
    dialog.exec();
}

void frmOption::cmdImportCsv_Click()
{
    RouteCsvImport dialog(this);
    dialog.exec();
}

void frmOption::Command3_Click(int Index)
{
    const QString chosen = GetPathString();
    if (!chosen.isEmpty())
        forms::setText(*Text2(Index), chosen);
}

void frmOption::Command10_Click(int Index)
{
    // Opening the folder is a convenience: whatever goes wrong stays silent.
    try {
        platform::shellOpen(forms::text(*Text2(Index)));
    } catch (...) {
    }
}
