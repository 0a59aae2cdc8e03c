#include "settings/mdlIniIo.h"

#include "console/frmCtl.h"
#include "core/ExeName.h"
#include "core/IniData.h"
#include "core/VbError.h"
#include "forms/Windows.h"
#include "options/frmOption.h"
#include "panel/Form1.h"
#include "platform/MsgBox.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace mdlIniIo {

namespace {

// The largest file the layout can describe (17 texts of 65535 bytes); what
// lies beyond it is never read.
constexpr qint64 kMaxBytes = 598 + 17 * qint64(0xFFFF);

QString &pathOverride()
{
    static QString p;
    return p;
}

std::function<bool(QSaveFile &)> &commitHook()
{
    static std::function<bool(QSaveFile &)> h;
    return h;
}

Writer &writer()
{
    static Writer w;
    return w;
}

// Error numbers for what the file system reports.
[[noreturn]] void raiseFileError(QFileDevice::FileError e)
{
    switch (e) {
    case QFileDevice::OpenError:
    case QFileDevice::PermissionsError: vb::raise(vb::ErrPathFileAccess);
    case QFileDevice::ReadError:
    case QFileDevice::WriteError:
    case QFileDevice::ResourceError: vb::raise(vb::ErrDeviceIO);
    default: vb::raise(vb::ErrPathFileAccess);
    }
}

} // namespace

QString settingsPath()
{
    if (!pathOverride().isEmpty())
        return pathOverride();
    const QString name = core::exeName() + QStringLiteral(".in4");
    const QString exeDir = QCoreApplication::applicationDirPath();
    if (QFileInfo(exeDir).isWritable())
        return QDir(exeDir).filePath(name);
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)).filePath(name);
}

void setSettingsPath(const QString &path) { pathOverride() = path; }
void setCommitHook(std::function<bool(QSaveFile &)> hook) { commitHook() = std::move(hook); }
void setWriter(Writer w) { writer() = std::move(w); }

void LoadIni()
{
    try {
        IniData d;
        const QString path = settingsPath();
        QFile file(path);
        if (!QFileInfo(path).isFile())
            return; // the first run: every start-up default stands
        if (!file.open(QIODevice::ReadOnly))
            raiseFileError(file.error());
        d = ini::readIni(file.read(kMaxBytes));
        file.close();

        Form1 &panel = windows::Form1();
        for (int i = 1; i <= Form1::kCells; ++i) {
            M_Degit &g = *panel.Degit(i);
            const DegitOptEntry &e = d.DegitOpt[size_t(i - 1)];
            g.setZeroMode(e.ZeroMode);
            g.setShift(e.Shift);
            g.setFillZero(e.FillZero);
            g.setBackColor(uint32_t(d.DegitBackColor));
            g.setBaseForeColor(uint32_t(d.DegitUnlitColor));
            g.setDegitForeColor(uint32_t(d.DegitLitColor));
            g.setValue(QStringLiteral(" "));
        }
        for (int i = 0; i < 2; ++i) {
            M_Degit &g = *panel.TimeDegit(i);
            g.setBackColor(uint32_t(d.DegitBackColor));
            g.setBaseForeColor(uint32_t(d.DegitUnlitColor));
            g.setDegitForeColor(uint32_t(d.DegitLitColor));
        }
        panel.ChimeiCtl()->setBackColor(uint32_t(d.ChimeiBackColor));
        panel.ChimeiCtl()->setForeColor(uint32_t(d.ChimeiForeColor));

        frmOption &options = windows::frmOption();
        options.CustomColors() = d.CustomColors;
        options.SetOptionInfo(d);
        windows::frmCtl().SetCtrlDataInfo(d);
        panel.SetFormInfo(d);
        options.SetProp();
    } catch (...) {
        const vb::Error e = vb::currentError();
        if (e.number() == vb::ErrBadFileName || e.number() == vb::ErrFileNotFound)
            return;
        platform::MsgBox(QStringLiteral("エラー Code:%1\r\n内容:%2\r\nモジュール:mdlIniIo.LoadIni()")
                             .arg(e.number())
                             .arg(e.description()));
    }
}

void SaveIni()
{
    try {
        IniData d;
        Form1 &panel = windows::Form1();
        for (int i = 1; i <= Form1::kCells; ++i) {
            const M_Degit &g = *panel.Degit(i);
            d.DegitOpt[size_t(i - 1)] = {g.Shift(), g.ZeroMode(), g.FillZero()};
        }
        frmOption &options = windows::frmOption();
        options.GetOptionInfo(d);
        d.CustomColors = options.CustomColors();
        windows::frmCtl().GetCtrlDataInfo(d);
        panel.GetFormInfo(d);

        const QString path = settingsPath();
        QDir().mkpath(QFileInfo(path).absolutePath());
        // The new file is written whole beside the old one and takes its
        // place only when complete: a failure leaves the old settings intact.
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            raiseFileError(file.error());
        const QByteArray bytes = ini::writeIni(d);
        const qint64 written = writer() ? writer()(file, bytes) : file.write(bytes);
        // A short write with no error named is a full disk.
        if (written != bytes.size())
            raiseFileError(file.error() == QFileDevice::NoError ? QFileDevice::WriteError : file.error());
        const bool committed = commitHook() ? commitHook()(file) : file.commit();
        if (!committed)
            raiseFileError(file.error());
    } catch (...) {
        const vb::Error e = vb::currentError();
        platform::MsgBox(QStringLiteral("エラー Code:%1\r\n内容:%2").arg(e.number()).arg(e.description()));
    }
}

} // namespace mdlIniIo
