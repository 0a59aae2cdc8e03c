#include "windows/frmRecord.h"

#include "console/frmCtl.h"
#include "platform/EventGuard.h"
#include "ride/Ride.h"
#include "settings/mdlIniIo.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QRegularExpression>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Beside the board (a build), else on the PATH (the package puts it there).
QString recorder()
{
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("soratobi4-record"));
    if (QFileInfo(beside).isExecutable())
        return beside;
    return QStandardPaths::findExecutable(QStringLiteral("soratobi4-record"));
}

struct Size {
    const char16_t *caption;
    int scale;
    const char *screen;
};
const Size kSizes[] = {{u"等倍（710×284）", 1, ""},     {u"2倍（1420×568）", 2, ""},
                       {u"3倍（2130×852）", 3, ""},     {u"4倍（2840×1136）", 4, ""},
                       {u"1920×1080 の画面", 0, "1920x1080"}, {u"3840×2160 の画面", 0, "3840x2160"}};

} // namespace

frmRecord::frmRecord(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("録画"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto *layout = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    txtRoute = new QLineEdit(this);
    txtRoute->setAccessibleName(QStringLiteral("txtRoute"));
    spnSection = new QSpinBox(this);
    spnSection->setRange(1, 300);
    spnSection->setAccessibleName(QStringLiteral("spnSection"));
    auto *routeRow = new QHBoxLayout;
    routeRow->addWidget(txtRoute);
    routeRow->addWidget(new QLabel(QStringLiteral("区間："), this));
    routeRow->addWidget(spnSection);
    form->addRow(QStringLiteral("系統："), routeRow);
    if (const frmCtl *c = qobject_cast<frmCtl *>(parent)) {
        txtRoute->setText(c->ride().route().RouteNo);
        spnSection->setValue(std::max<int>(1, c->ride().route().StartSection));
    }

    cboDrive = new QComboBox(this);
    cboDrive->addItems({QStringLiteral("時刻表"), QStringLiteral("記録したNMEAログ"), QStringLiteral("台本（秒,操作 の行）")});
    cboDrive->setAccessibleName(QStringLiteral("cboDrive"));
    spnSpeed = new QSpinBox(this);
    spnSpeed->setRange(1, 60);
    spnSpeed->setPrefix(QStringLiteral("×"));
    spnSpeed->setAccessibleName(QStringLiteral("spnSpeed"));
    auto *driveRow = new QHBoxLayout;
    driveRow->addWidget(cboDrive, 1);
    driveRow->addWidget(new QLabel(QStringLiteral("速さ："), this));
    driveRow->addWidget(spnSpeed);
    form->addRow(QStringLiteral("送り方："), driveRow);
    txtDriveFile = new QLineEdit(this);
    txtDriveFile->setAccessibleName(QStringLiteral("txtDriveFile"));
    auto *browseDrive = new QPushButton(QStringLiteral("..."), this);
    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(txtDriveFile, 1);
    fileRow->addWidget(browseDrive);
    form->addRow(QStringLiteral("ログ／台本："), fileRow);

    cboSize = new QComboBox(this);
    for (const Size &s : kSizes)
        cboSize->addItem(QString::fromUtf16(s.caption));
    cboSize->setCurrentIndex(1);
    cboSize->setAccessibleName(QStringLiteral("cboSize"));
    cboFps = new QComboBox(this);
    cboFps->addItems({QStringLiteral("30"), QStringLiteral("60")});
    cboFps->setAccessibleName(QStringLiteral("cboFps"));
    auto *sizeRow = new QHBoxLayout;
    sizeRow->addWidget(cboSize, 1);
    sizeRow->addWidget(new QLabel(QStringLiteral("コマ／秒："), this));
    sizeRow->addWidget(cboFps);
    form->addRow(QStringLiteral("大きさ："), sizeRow);
    txtOut = new QLineEdit(this);
    txtOut->setAccessibleName(QStringLiteral("txtOut"));
    auto *browseOut = new QPushButton(QStringLiteral("..."), this);
    auto *outRow = new QHBoxLayout;
    outRow->addWidget(txtOut, 1);
    outRow->addWidget(browseOut);
    form->addRow(QStringLiteral("保存先（.mp4）："), outRow);
    layout->addLayout(form);

    barProgress = new QProgressBar(this);
    barProgress->setRange(0, 100);
    barProgress->setValue(0);
    layout->addWidget(barProgress);
    lblStatus = new QLabel(QStringLiteral("録画はこの画面とは別に、ボードの動きを画面に出さずに作ります。"), this);
    lblStatus->setWordWrap(true);
    lblStatus->setMinimumHeight(lblStatus->fontMetrics().height() * 2 + 4);
    layout->addWidget(lblStatus);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cmdStart = new QPushButton(QStringLiteral("録画開始"), this);
    cmdCancel = new QPushButton(QStringLiteral("中止"), this);
    cmdClose = new QPushButton(QStringLiteral("閉じる"), this);
    buttons->addWidget(cmdStart);
    buttons->addWidget(cmdCancel);
    buttons->addWidget(cmdClose);
    layout->addLayout(buttons);
    resize(560, sizeHint().height());

    const auto driveChanged = [this] {
        const int d = cboDrive->currentIndex();
        spnSpeed->setEnabled(d == 0);
        txtDriveFile->setEnabled(d != 0);
    };
    connect(cboDrive, &QComboBox::currentIndexChanged, this, driveChanged);
    driveChanged();
    connect(browseDrive, &QPushButton::clicked, this, [this] {
        const QString f = QFileDialog::getOpenFileName(this, QStringLiteral("ログ／台本の選択"), txtDriveFile->text());
        if (!f.isEmpty())
            txtDriveFile->setText(f);
    });
    connect(browseOut, &QPushButton::clicked, this, [this] {
        const QString f = QFileDialog::getSaveFileName(this, QStringLiteral("保存先"), txtOut->text(), QStringLiteral("MP4 (*.mp4)"));
        if (!f.isEmpty())
            txtOut->setText(f.endsWith(QStringLiteral(".mp4"), Qt::CaseInsensitive) ? f : f + QStringLiteral(".mp4"));
    });
    connect(cmdStart, &QPushButton::clicked, this, [this] { platform::guarded([this] { start(); }); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { platform::guarded([this] { cancel(); }); });
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);
    connect(&m_process, &QProcess::readyReadStandardError, this, [this] { platform::guarded([this] { readProgress(); }); });
    connect(&m_process, &QProcess::finished, this,
            [this](int code, QProcess::ExitStatus status) { platform::guarded([this, code, status] { ended(code, status); }); });
    connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) {
            lblStatus->setText(QStringLiteral("録画のコマンド soratobi4-record を起動できません。"));
            setRunning(false);
            emit finished(false);
        }
    });
    setRunning(false);
}

frmRecord::~frmRecord()
{
    // A window closed with the program: the recording stops, and leaves no file.
    if (recording()) {
        m_process.terminate();
        m_process.waitForFinished(5000);
    }
}

void frmRecord::addToConsole(frmCtl &console)
{
    console.addMenuEntry(QStringLiteral("録画..."), [c = &console, w = QPointer<frmRecord>()]() mutable {
        if (!w)
            w = new frmRecord(c);
        w->show();
        w->raise();
    });
}

recordargs::Choice frmRecord::choice() const
{
    recordargs::Choice c;
    c.route = txtRoute->text().trimmed();
    c.section = QString::number(spnSection->value());
    c.drive = recordargs::Choice::Drive(cboDrive->currentIndex());
    c.speed = spnSpeed->value();
    c.driveFile = txtDriveFile->text().trimmed();
    const Size &s = kSizes[std::clamp(cboSize->currentIndex(), 0, int(std::size(kSizes)) - 1)];
    c.scale = s.scale;
    c.screen = QString::fromLatin1(s.screen);
    c.fps = cboFps->currentText().toInt();
    c.settings = mdlIniIo::settingsPaths().read;
    c.out = txtOut->text().trimmed();
    return c;
}

bool frmRecord::start()
{
    if (recording())
        return false;
    const recordargs::Choice c = choice();
    QString missing;
    if (c.route.isEmpty())
        missing = QStringLiteral("系統を入れてください。");
    else if (c.drive != recordargs::Choice::Drive::Timetable && c.driveFile.isEmpty())
        missing = QStringLiteral("NMEAログか台本のファイルを選んでください。");
    else if (c.out.isEmpty())
        missing = QStringLiteral("保存先を選んでください。");
    const QString program = recorder();
    if (missing.isEmpty() && program.isEmpty())
        missing = QStringLiteral("録画のコマンド soratobi4-record が見つかりません。");
    if (!missing.isEmpty()) {
        lblStatus->setText(missing);
        return false;
    }
    m_cancelled = false;
    m_pending.clear();
    m_lastLine.clear();
    barProgress->setValue(0);
    lblStatus->setText(QStringLiteral("録画しています..."));
    setRunning(true);
    m_process.start(program, recordargs::arguments(c));
    return true;
}

void frmRecord::cancel()
{
    if (!recording())
        return;
    m_cancelled = true;
    lblStatus->setText(QStringLiteral("中止しています..."));
    m_process.terminate(); // the command removes its unfinished file
}

void frmRecord::readProgress()
{
    m_pending += m_process.readAllStandardError();
    // Progress comes as one line rewritten with '\r'; messages end in '\n'.
    qsizetype cut;
    while ((cut = std::max(m_pending.lastIndexOf('\r'), m_pending.lastIndexOf('\n'))) >= 0) {
        const QString done = QString::fromLocal8Bit(m_pending.left(cut));
        m_pending.remove(0, cut + 1);
        for (const QString &line : done.split(QRegularExpression(QStringLiteral("[\\r\\n]")), Qt::SkipEmptyParts)) {
            if (const int p = recordargs::progressOf(line); p >= 0)
                barProgress->setValue(p);
            else
                m_lastLine = line.trimmed();
        }
    }
    if (m_pending.size() > 4096)
        m_pending.clear(); // a line that never ends is not progress
}

void frmRecord::ended(int code, QProcess::ExitStatus status)
{
    readProgress();
    const bool ok = status == QProcess::NormalExit && code == 0 && !m_cancelled;
    if (ok) {
        barProgress->setValue(100);
        lblStatus->setText(QStringLiteral("録画しました：%1").arg(txtOut->text().trimmed()));
    } else if (m_cancelled) {
        lblStatus->setText(QStringLiteral("録画を中止しました。ファイルは作っていません。"));
    } else {
        lblStatus->setText(QStringLiteral("録画できませんでした：%1")
                               .arg(m_lastLine.isEmpty() ? QStringLiteral("終了コード %1").arg(code) : m_lastLine));
    }
    setRunning(false);
    emit finished(ok);
}

void frmRecord::setRunning(bool on)
{
    cmdStart->setEnabled(!on);
    cmdCancel->setEnabled(on);
    for (QWidget *w : std::initializer_list<QWidget *>{txtRoute, spnSection, cboDrive, spnSpeed, txtDriveFile, cboSize, cboFps, txtOut})
        w->setEnabled(!on && (w != spnSpeed || cboDrive->currentIndex() == 0) && (w != txtDriveFile || cboDrive->currentIndex() != 0));
}
