#include "settings/mdlIniIo.h"

#include "console/frmCtl.h"
#include "core/ExeName.h"
#include "core/FileIo.h"
#include "core/IniData.h"
#include "core/VbError.h"
#include "forms/Windows.h"
#include "options/frmOption.h"
#include "panel/Form1.h"
#include "platform/MsgBox.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
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

fileio::WriteHooks &hooks()
{
    static fileio::WriteHooks h;
    return h;
}

} // namespace

SettingsPaths settingsPaths(const QString &exeDir, const QString &userDir, bool exeDirWritable)
{
    const QString name = core::exeName() + QStringLiteral(".in4");
    const QString beside = QDir(exeDir).filePath(name);
    if (exeDirWritable)
        return {beside, beside};
    // An installed program: each user's own file once there is one, else the
    // one a package or an administrator placed beside the executable.
    const QString own = QDir(userDir).filePath(name);
    const QFileInfo ownInfo(own);
    return {ownInfo.exists() || ownInfo.isSymLink() ? own : beside, own};
}

SettingsPaths settingsPaths()
{
    if (!pathOverride().isEmpty())
        return {pathOverride(), pathOverride()};
    const QString exeDir = QCoreApplication::applicationDirPath();
    return settingsPaths(exeDir, QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation),
                         QFileInfo(exeDir).isWritable());
}

QString settingsPath() { return settingsPaths().write; }

void setSettingsPath(const QString &path) { pathOverride() = path; }
void setCommitHook(std::function<bool(QSaveFile &)> hook) { hooks().commit = std::move(hook); }
void setWriter(Writer w) { hooks().write = std::move(w); }

void LoadIni()
{
    try {
        // No file is the first run: every start-up default stands (53, silent).
        // Anything there that is not a regular file (a folder, a FIFO, a
        // device) is refused unopened and reported.
        fileio::Read file = fileio::readRegular(settingsPaths().read, kMaxBytes);
        if (file.error)
            vb::raise(file.error);
        file.bytes.truncate(kMaxBytes);
        const IniData d = ini::readIni(file.bytes);

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
        // place only when every byte is on disk: a failure leaves the old
        // settings intact.
        if (const int e = fileio::writeWhole(path, ini::writeIni(d), hooks()))
            vb::raise(e);
    } catch (...) {
        const vb::Error e = vb::currentError();
        platform::MsgBox(QStringLiteral("エラー Code:%1\r\n内容:%2").arg(e.number()).arg(e.description()));
    }
}

} // namespace mdlIniIo
