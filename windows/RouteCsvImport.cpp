#include "windows/RouteCsvImport.h"

#include "core/FileIo.h"
#include "core/VbError.h"
#include "options/OptionReads.h"
#include "platform/EventGuard.h"
#include "platform/MsgBox.h"
#include "platform/Paths.h"
#include "tools/RouteCsv.h"
#include "windows/RouteFiles.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>

namespace {

constexpr qint64 kMaxInput = 64 * 1024 * 1024; // as the command reads

QByteArray readInput(const QString &path)
{
    fileio::Read r = fileio::readRegular(path, kMaxInput);
    if (r.error)
        vb::raise(r.error, QStringLiteral("%1: %2").arg(path, vb::Error::standardDescription(r.error)));
    if (r.bytes.size() > kMaxInput)
        vb::raise(vb::ErrOutOfMemory, QStringLiteral("%1: 64 MB を超えています").arg(path));
    return r.bytes;
}

// A route number from a file named after it ("34.csv", "route34.csv").
int numberFromName(const QString &path)
{
    QString digits;
    for (QChar c : QFileInfo(path).completeBaseName())
        if (c.isDigit())
            digits += c;
    const int n = digits.left(5).toInt();
    return n >= 1 && n <= 99999 ? n : 0;
}

} // namespace

RouteCsvImport::RouteCsvImport(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("表計算のCSVから系統を取り込む"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto *grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("系統のCSV（1行に1停留所：停留所名、整理券番号、値の列1～150。UTF-8 か Shift_JIS）："), this),
                    0, 0, 1, 3);
    txtRoute = new QLineEdit(this);
    txtRoute->setAccessibleName(QStringLiteral("txtRoute"));
    cmdBrowseRoute = new QPushButton(QStringLiteral("ファイル..."), this);
    grid->addWidget(txtRoute, 1, 0, 1, 2);
    grid->addWidget(cmdBrowseRoute, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("放送リストのCSV（文、送りフラグ、チャイム番号。UTF-8 か Shift_JIS。なくてもかまいません）："), this),
                    2, 0, 1, 3);
    txtTape = new QLineEdit(this);
    txtTape->setAccessibleName(QStringLiteral("txtTape"));
    cmdBrowseTape = new QPushButton(QStringLiteral("ファイル..."), this);
    grid->addWidget(txtTape, 3, 0, 1, 2);
    grid->addWidget(cmdBrowseTape, 3, 2);
    grid->addWidget(new QLabel(QStringLiteral("系統番号（1～99999）："), this), 4, 0);
    txtNumber = new QSpinBox(this);
    txtNumber->setAccessibleName(QStringLiteral("txtNumber"));
    txtNumber->setRange(1, 99999);
    grid->addWidget(txtNumber, 4, 1, Qt::AlignLeft);
    txtReport = new QPlainTextEdit(this);
    txtReport->setAccessibleName(QStringLiteral("txtReport"));
    txtReport->setReadOnly(true);
    txtReport->setMaximumBlockCount(2000);
    grid->addWidget(txtReport, 5, 0, 1, 3);
    cmdImport = new QPushButton(QStringLiteral("取り込む"), this);
    cmdClose = new QPushButton(QStringLiteral("閉じる"), this);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdImport);
    buttons->addWidget(cmdClose);
    grid->addLayout(buttons, 6, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(5, 1);
    resize(640, 380);

    const auto browse = [this](QLineEdit *edit, const QString &title, bool route) {
        const QString f = QFileDialog::getOpenFileName(this, title, edit->text(),
                                                       QStringLiteral("CSV (*.csv *.txt);;すべてのファイル (*)"));
        if (f.isEmpty())
            return;
        edit->setText(f);
        if (route)
            if (const int n = numberFromName(f))
                txtNumber->setValue(n);
    };
    connect(cmdBrowseRoute, &QPushButton::clicked, this,
            [this, browse] { browse(txtRoute, QStringLiteral("系統のCSVの選択"), true); });
    connect(cmdBrowseTape, &QPushButton::clicked, this,
            [this, browse] { browse(txtTape, QStringLiteral("放送リストの選択"), false); });
    connect(cmdImport, &QPushButton::clicked, this, [this] { platform::guarded([this] { importFiles(); }); });
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);
}

void RouteCsvImport::report(const QString &line) { txtReport->appendPlainText(line); }

bool RouteCsvImport::importFiles()
{
    const int n = txtNumber->value();
    const QString routePath = txtRoute->text().trimmed();
    const QString tapePath = txtTape->text().trimmed();
    if (routePath.isEmpty()) {
        report(QStringLiteral("系統のCSVを指定してください。"));
        return false;
    }
    QByteArray fares, tape;
    int stops = 0, entries = 0;
    try {
        const QList<fare::FareRecord> records = routecsv::readRouteCsv(readInput(routePath));
        stops = int(records.size());
        fares = fare::writeFareFile(records);
    } catch (...) {
        report(QStringLiteral("%1: 読み込めません: %2").arg(routePath, vb::currentError().description()));
        return false;
    }
    if (!tapePath.isEmpty()) {
        try {
            tape = routecsv::convertTapeCsv(readInput(tapePath));
            entries = int(routecsv::checkTapeCsv(tape).entries.size());
        } catch (...) {
            report(QStringLiteral("%1: 読み込めません: %2").arg(tapePath, vb::currentError().description()));
            return false;
        }
    }

    const QString fareDir = platform::writableFolder(options::read::fareDataDir());
    const QString tapeDir = platform::writableFolder(options::read::tapeDataDir());
    const QString existing = platform::findFile(platform::withSeparator(options::read::fareDataDir()) + QStringLiteral("%1.hy3").arg(n));
    if (!existing.isEmpty()
        && platform::MsgBox(QStringLiteral("系統%1の運賃データ（%2）は既にあります。置き換えますか？").arg(n).arg(existing),
                            platform::vbYesNo | platform::vbQuestion)
               != platform::vbYes) {
        report(QStringLiteral("系統%1は既にあるため取り込みませんでした。").arg(n));
        return false;
    }
    QList<fileio::FileWrite> files{{QDir(fareDir).filePath(QStringLiteral("%1.hy3").arg(n)), fares}};
    if (!tapePath.isEmpty())
        files.append({QDir(tapeDir).filePath(QStringLiteral("%1tp.csv").arg(n)), tape});
    try {
        routefiles::write(n, files);
    } catch (...) {
        report(vb::currentError().description());
        return false;
    }
    for (const fileio::FileWrite &f : files)
        report(QStringLiteral("書き込みました: %1").arg(f.path));
    report(tapePath.isEmpty() ? QStringLiteral("系統%1: 停留所%2").arg(n).arg(stops)
                              : QStringLiteral("系統%1: 停留所%2、放送%3件").arg(n).arg(stops).arg(entries));
    return true;
}
