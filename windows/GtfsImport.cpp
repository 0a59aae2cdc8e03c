#include "windows/GtfsImport.h"

#include "core/FileIo.h"
#include "core/VbError.h"
#include "opendata/FeedPath.h"
#include "opendata/Gtfs.h"
#include "options/OptionReads.h"
#include "platform/EventGuard.h"
#include "platform/MsgBox.h"
#include "platform/Paths.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

namespace {

// A folder of the options as the console finds its files: a relative one
// from the executable's folder, an empty one is that folder itself.
QString optionFolder(const QString &text)
{
    if (text.isEmpty())
        return QCoreApplication::applicationDirPath();
    QString p = QDir::fromNativeSeparators(text);
    p.replace(u'\\', u'/');
    return QDir::isRelativePath(p) ? QDir(QCoreApplication::applicationDirPath()).filePath(p) : p;
}

QString describe(const vb::Error &e) { return QStringLiteral("%1 (エラー %2)").arg(e.description()).arg(e.number()); }

// A route's files as one: all new, or on any failure all as they were; the
// error says which.
void writeRoute(int number, const QList<opendata::OutputFile> &files)
{
    QList<fileio::FileWrite> group;
    for (const opendata::OutputFile &f : files)
        group.append({f.path, f.bytes});
    const fileio::GroupResult r = fileio::writeGroup(group);
    if (!r.error)
        return;
    const QString cause = r.error == vb::ErrDeviceIO ? QStringLiteral("ディスクがいっぱいか、書き込みに失敗しました")
                                                     : vb::Error::standardDescription(r.error);
    if (r.allOld())
        vb::raise(r.error, QStringLiteral("%1 を書き込めません（%2）。系統%3のファイルは何も書き換えていません")
                               .arg(r.failed, cause).arg(number));
    QStringList left;
    for (qsizetype i = 0; i < r.notRestored.size(); ++i)
        left << QStringLiteral("%1（%2%3）")
                    .arg(r.notRestored[i], QFileInfo::exists(r.notRestored[i]) ? QStringLiteral("新しいもの") : QStringLiteral("ありません"),
                         r.aside.value(i).isEmpty() ? QString() : QStringLiteral("、元のファイルは %1").arg(r.aside[i]));
    vb::raise(r.error, QStringLiteral("%1 を書き込めません（%2）。元のファイルに戻せなかったもの: %3")
                           .arg(r.failed, cause, left.join(QStringLiteral("、"))));
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
        report(QStringLiteral("読み込めません: %1").arg(describe(vb::currentError())));
        return false;
    }
    QApplication::restoreOverrideCursor();
    QList<int> taken;
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
    for (int c = 0; c < ColumnCount; ++c)
        lstPatterns->resizeColumnToContents(c);
    report(QStringLiteral("%1: %2 の系統パターン").arg(path).arg(listing.patterns.size()));
    for (const QString &w : listing.warnings)
        report(QStringLiteral("注意: %1").arg(w));
    return true;
}

int GtfsImport::importChecked()
{
    if (!m_feed)
        return 0;
    const QString fareDir = optionFolder(options::read::fareDataDir());
    const QString tapeDir = optionFolder(options::read::tapeDataDir());
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
        const QString existing = platform::findFile(QDir(fareDir).filePath(QStringLiteral("%1.hy3").arg(n)));
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
            QDir().mkpath(fareDir);
            QDir().mkpath(tapeDir);
            const QList<opendata::OutputFile> files = opendata::outputFiles(im, n, fareDir, tapeDir);
            writeRoute(n, files);
            for (const opendata::OutputFile &f : files)
                report(QStringLiteral("書き込みました: %1").arg(f.path));
            report(QStringLiteral("%1 → 系統%2: 停留所%3、整理券番号%4、運賃の定めのない区間%5（%6）")
                       .arg(what)
                       .arg(n)
                       .arg(im.records.size())
                       .arg(im.ticketCount)
                       .arg(im.faresUndefined)
                       .arg(im.fareSource));
            for (const QString &w : im.warnings)
                report(QStringLiteral("注意: %1").arg(w));
            ++written;
        } catch (...) {
            report(QStringLiteral("%1: 取り込めません: %2").arg(what, describe(vb::currentError())));
        }
    }
    return written;
}
