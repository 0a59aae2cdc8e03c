#include "windows/GtfsImport.h"

#include "core/FileIo.h"
#include "core/VbError.h"
#include "opendata/FeedPath.h"
#include "opendata/Gtfs.h"
#include "options/OptionReads.h"
#include "platform/EventGuard.h"
#include "platform/MsgBox.h"
#include "platform/Paths.h"
#include "windows/RouteFiles.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTreeWidget>

#include <algorithm>

namespace {

// The reader's complaints in Japanese; one it does not know stays as written.
QString japanese(const QString &message)
{
    struct Pattern {
        const char *english;
        const char16_t *japanese;
    };
    static const Pattern patterns[] = {
        {"^the feed has no such file$", u"フィードにこのファイルがありません"},
        {"^the column (\\S+) is missing$", u"列 %1 がありません"},
        {"^the file is empty \\(no header line\\)$", u"ファイルが空です（見出しの行がありません）"},
        {"^a quoted field is never closed$", u"引用符（\"）で始まった項目が閉じていません"},
        {"^the text is not UTF-8 \\(nor Shift_JIS, code page 932\\): save the file as UTF-8$",
         u"文字コードがUTF-8ではなく、Shift_JIS（コードページ932）としても読めません。UTF-8で保存してください"},
        {"^the text is not UTF-8: save the file as UTF-8$", u"文字コードがUTF-8ではありません。UTF-8で保存してください"},
        {"^the (?:stop|trip|route|fare|fare product) (.+) is not in (\\S+)$", u"%1 が %2 にありません"},
        {"^the (?:stop|trip|route|fare) id (.+) is given twice$", u"%1 が二度あります"},
        {"^a field longer than (\\d+) bytes$", u"%1バイトを超える項目があります"},
        {"^the record is longer than (\\d+) bytes$", u"%1バイトを超える行があります"},
        {"^not a zip archive$", u"zipファイルではありません"},
        {"^a damaged zip archive$", u"zipファイルが壊れています"},
        {"^the pattern has (\\d+) boarding stops and needs (\\d+) ticket numbers .*; the board has (\\d+)$",
         u"乗車停留所が%1か所あり、以後の運賃が同じ停留所で番号を分け合っても整理券番号が%2要ります（表示器は%3まで）"},
        {"^the pattern has (\\d+) stops; the board rides 2 to (\\d+)$", u"停留所が%1あります（表示器は2～%2）"},
    };
    for (const Pattern &p : patterns) {
        const QRegularExpressionMatch m = QRegularExpression(QString::fromLatin1(p.english)).match(message);
        if (!m.hasMatch())
            continue;
        QString out = QString::fromUtf16(p.japanese);
        for (int i = 1; i <= m.lastCapturedIndex(); ++i)
            out = out.arg(m.captured(i));
        return out;
    }
    return message;
}

// An error as the report says it: the file, line and column in Japanese.
QString describe(const vb::Error &e, const opendata::FeedError *feed = nullptr)
{
    if (!feed)
        return QStringLiteral("%1（エラー %2）").arg(japanese(e.description())).arg(e.number());
    QString where = feed->file;
    if (feed->line > 0)
        where += QStringLiteral(" %1行目").arg(feed->line);
    if (feed->column > 0)
        where += feed->columnName.isEmpty() ? QStringLiteral(" %1列目").arg(feed->column)
                                            : QStringLiteral(" %1列目（%2）").arg(feed->column).arg(feed->columnName);
    return QStringLiteral("%1: %2（エラー %3）").arg(where, japanese(feed->message)).arg(e.number());
}

// What a trap caught, described.
QString describeCurrent()
{
    try {
        throw;
    } catch (const opendata::FeedError &e) {
        return describe(e, &e);
    } catch (...) {
        return describe(vb::currentError());
    }
}

// The route numbers the fare folder holds already (N.hy3).
// The routes a fare folder of the options holds, in every place the console
// looks for them (the user's and, installed, the packaged one).
QList<int> routesIn(const QString &fareFolder)
{
    QList<int> out;
    static const QRegularExpression name(QStringLiteral("^(\\d{1,5})\\.hy3$"), QRegularExpression::CaseInsensitiveOption);
    for (const QString &root : platform::dataRoots().read)
        for (const QString &f : QDir(platform::writableFolder(fareFolder, root)).entryList(QDir::Files)) {
            const QRegularExpressionMatch m = name.match(f);
            if (m.hasMatch())
                out << m.captured(1).toInt();
        }
    return out;
}

} // namespace

GtfsImport::GtfsImport(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("GTFSデータの取り込み"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto *grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("公開されているバス情報（GTFS / 標準的なバス情報フォーマット）の.zipファイルか、"
                                              "展開したフォルダーを指定してください。"),
                               this),
                    0, 0, 1, 4);
    txtFeed = new QLineEdit(this);
    txtFeed->setAccessibleName(QStringLiteral("txtFeed"));
    cmdBrowseZip = new QPushButton(QStringLiteral("ファイル..."), this);
    cmdBrowseFolder = new QPushButton(QStringLiteral("フォルダー..."), this);
    cmdRead = new QPushButton(QStringLiteral("読み込む"), this);
    grid->addWidget(txtFeed, 1, 0);
    grid->addWidget(cmdBrowseZip, 1, 1);
    grid->addWidget(cmdBrowseFolder, 1, 2);
    grid->addWidget(cmdRead, 1, 3);

    lstPatterns = new QTreeWidget(this);
    lstPatterns->setAccessibleName(QStringLiteral("lstPatterns"));
    lstPatterns->setRootIsDecorated(false);
    lstPatterns->setColumnCount(ColumnCount);
    lstPatterns->setHeaderLabels({QStringLiteral("系統"), QStringLiteral("方向・行先"), QStringLiteral("停留所数"),
                                  QStringLiteral("始発"), QStringLiteral("終着"), QStringLiteral("便数"),
                                  QStringLiteral("取り込む系統番号")});
    lstPatterns->header()->setStretchLastSection(false);
    lstPatterns->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                                 | QAbstractItemView::SelectedClicked);
    lstPatterns->viewport()->installEventFilter(this);
    grid->addWidget(lstPatterns, 2, 0, 1, 4);
    grid->addWidget(new QLabel(QStringLiteral("取り込む系統にチェックを付け、系統番号（1～99999）を確かめてください。"
                                              "運賃データは運賃データのフォルダーに、放送用データは放送用データのフォルダーに書き込まれます。"),
                               this),
                    3, 0, 1, 4);
    txtReport = new QPlainTextEdit(this);
    txtReport->setAccessibleName(QStringLiteral("txtReport"));
    txtReport->setReadOnly(true);
    txtReport->setMaximumBlockCount(2000);
    grid->addWidget(txtReport, 4, 0, 1, 4);
    cmdImport = new QPushButton(QStringLiteral("取り込む"), this);
    cmdClose = new QPushButton(QStringLiteral("閉じる"), this);
    grid->addWidget(cmdImport, 5, 2);
    grid->addWidget(cmdClose, 5, 3);
    grid->setRowStretch(2, 3);
    grid->setRowStretch(4, 1);
    grid->setColumnStretch(0, 1);
    resize(820, 520);

    connect(cmdBrowseZip, &QPushButton::clicked, this, [this] {
        const QString f = QFileDialog::getOpenFileName(this, QStringLiteral("GTFSデータの選択"), txtFeed->text(),
                                                       QStringLiteral("GTFS (*.zip);;すべてのファイル (*)"));
        if (!f.isEmpty()) {
            txtFeed->setText(f);
            platform::guarded([this] { readFeed(); });
        }
    });
    connect(cmdBrowseFolder, &QPushButton::clicked, this, [this] {
        const QString f = QFileDialog::getExistingDirectory(this, QStringLiteral("GTFSデータのフォルダー"), txtFeed->text());
        if (!f.isEmpty()) {
            txtFeed->setText(f);
            platform::guarded([this] { readFeed(); });
        }
    });
    connect(cmdRead, &QPushButton::clicked, this, [this] { platform::guarded([this] { readFeed(); }); });
    connect(cmdImport, &QPushButton::clicked, this, [this] { platform::guarded([this] { importChecked(); }); });
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);
}

GtfsImport::~GtfsImport() = default;

void GtfsImport::fitColumns()
{
    // The counts and the number keep their width; the names share what is
    // left, none wider than its text, so nothing needs sideways scrolling.
    // A cut name shows whole in its tool tip.
    QHeaderView *h = lstPatterns->header();
    const int room = lstPatterns->viewport()->width();
    int fixed = 0;
    for (int c : {ColStops, ColTrips, ColNumber}) {
        lstPatterns->resizeColumnToContents(c);
        fixed += h->sectionSize(c);
    }
    QList<int> names{ColRoute, ColHeadsign, ColFirst, ColLast}, want;
    for (int c : names) {
        lstPatterns->resizeColumnToContents(c);
        want << h->sectionSize(c);
    }
    int left = std::max(0, room - fixed);
    QList<int> order{0, 1, 2, 3};
    std::sort(order.begin(), order.end(), [&](int a, int b) { return want[a] < want[b]; });
    for (int k = 0; k < order.size(); ++k) {
        const int share = left / int(order.size() - k);
        const int w = std::max(std::min(want[order[k]], share), h->minimumSectionSize());
        h->resizeSection(names[order[k]], w);
        left -= w;
    }
}

bool GtfsImport::eventFilter(QObject *watched, QEvent *e)
{
    // The list's room changes with the window and its scroll bar.
    if (watched == lstPatterns->viewport() && e->type() == QEvent::Resize && lstPatterns->topLevelItemCount() > 0)
        fitColumns();
    return QDialog::eventFilter(watched, e);
}

void GtfsImport::report(const QString &line) { txtReport->appendPlainText(line); }

bool GtfsImport::readFeed()
{
    lstPatterns->clear();
    m_feed.reset();
    const QString path = txtFeed->text().trimmed();
    if (path.isEmpty())
        return false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    opendata::Listing listing;
    try {
        m_feed = std::make_unique<opendata::Feed>(opendata::openFeed(path));
        listing = opendata::listPatterns(*m_feed);
    } catch (...) {
        QApplication::restoreOverrideCursor();
        m_feed.reset();
        report(QStringLiteral("読み込めません: %1").arg(describeCurrent()));
        return false;
    }
    QApplication::restoreOverrideCursor();
    // Numbers of routes already in the fare folder are not suggested.
    QList<int> taken = routesIn(options::read::fareDataDir());
    for (const opendata::PatternInfo &p : listing.patterns) {
        auto *item = new QTreeWidgetItem(lstPatterns);
        QString name = p.routeName;
        if (!p.parentRouteId.isEmpty())
            name += QStringLiteral("（%1）").arg(p.parentRouteId);
        QString way = p.headsign;
        if (p.rank > 0)
            way += QStringLiteral("（別経路%1）").arg(p.rank);
        item->setText(ColRoute, name);
        item->setText(ColHeadsign, way);
        item->setText(ColStops, QString::number(p.stops));
        item->setText(ColFirst, p.firstStop);
        item->setText(ColLast, p.lastStop);
        for (int c : {ColRoute, ColHeadsign, ColFirst, ColLast})
            item->setToolTip(c, item->text(c));
        item->setText(ColTrips, QString::number(p.trips));
        const int n = opendata::suggestNumber(p, taken);
        taken << n;
        item->setText(ColNumber, QString::number(n));
        item->setData(ColRoute, Qt::UserRole, p.routeId);
        item->setData(ColRoute, Qt::UserRole + 1, p.directionId);
        item->setData(ColRoute, Qt::UserRole + 2, p.rank);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsEditable);
        item->setCheckState(ColRoute, Qt::Unchecked);
        item->setTextAlignment(ColStops, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(ColTrips, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(ColNumber, Qt::AlignRight | Qt::AlignVCenter);
    }
    fitColumns();
    report(QStringLiteral("%1: %2 の系統パターン").arg(path).arg(listing.patterns.size()));
    for (const QString &w : listing.notes)
        report(QStringLiteral("注意: %1").arg(w));
    return true;
}

int GtfsImport::importChecked()
{
    if (!m_feed)
        return 0;
    const QString fareDir = platform::writableFolder(options::read::fareDataDir());
    const QString tapeDir = platform::writableFolder(options::read::tapeDataDir());
    int written = 0;
    for (int i = 0; i < lstPatterns->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = lstPatterns->topLevelItem(i);
        if (item->checkState(ColRoute) != Qt::Checked)
            continue;
        const QString what = QStringLiteral("%1 %2").arg(item->text(ColRoute), item->text(ColHeadsign));
        bool ok = false;
        const int n = item->text(ColNumber).trimmed().toInt(&ok);
        if (!ok || n < 1 || n > 99999) {
            report(QStringLiteral("%1: 系統番号は1～99999で指定してください。").arg(what));
            continue;
        }
        const QString existing = platform::findFile(platform::withSeparator(options::read::fareDataDir()) + QStringLiteral("%1.hy3").arg(n));
        if (!existing.isEmpty()
            && platform::MsgBox(QStringLiteral("系統%1の運賃データ（%2）は既にあります。置き換えますか？").arg(n).arg(existing),
                                platform::vbYesNo | platform::vbQuestion)
                   != platform::vbYes) {
            report(QStringLiteral("%1: 系統%2は既にあるため取り込みませんでした。").arg(what).arg(n));
            continue;
        }
        opendata::Choice choice;
        choice.routeId = item->data(ColRoute, Qt::UserRole).toString();
        choice.directionId = item->data(ColRoute, Qt::UserRole + 1).toString();
        choice.rank = item->data(ColRoute, Qt::UserRole + 2).toInt();
        try {
            const opendata::Import im = opendata::importPattern(*m_feed, choice);
            const QList<opendata::OutputFile> files = opendata::outputFiles(im, n, fareDir, tapeDir);
            QList<fileio::FileWrite> group;
            for (const opendata::OutputFile &f : files)
                group.append({f.path, f.bytes});
            routefiles::write(n, group);
            for (const opendata::OutputFile &f : files)
                report(QStringLiteral("書き込みました: %1").arg(f.path));
            report(QStringLiteral("%1 → 系統%2: 停留所%3、整理券番号%4、運賃の定めのない区間%5")
                       .arg(what)
                       .arg(n)
                       .arg(im.records.size())
                       .arg(im.ticketCount)
                       .arg(im.faresUndefined));
            for (const QString &w : im.notes)
                report(QStringLiteral("　%1").arg(w));
            ++written;
        } catch (...) {
            report(QStringLiteral("%1: 取り込めません: %2").arg(what, describeCurrent()));
        }
    }
    return written;
}
