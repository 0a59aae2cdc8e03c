#pragma once
// The settings file: read once at start-up and applied to the windows, written
// once at a confirmed exit from what the windows hold. Both report their own
// failures and never pass an error on.
#include <QByteArray>
#include <QString>
#include <functional>

class QIODevice;
class QSaveFile;

namespace mdlIniIo {

void LoadIni();
void SaveIni();

// Where the settings are read and written: "427.in4" beside the executable.
// Where that folder cannot be written (an installed package) the file is
// written to the same name in the per-user configuration folder, and read
// from there once it exists, else from beside the executable.
struct SettingsPaths {
    QString read;
    QString write;
};
SettingsPaths settingsPaths(const QString &exeDir, const QString &userDir, bool exeDirWritable);
SettingsPaths settingsPaths();
QString settingsPath(); // where the next save goes

// Test seams: another file, and a hook in place of the final commit.
void setSettingsPath(const QString &path); // empty restores the rule above
void setCommitHook(std::function<bool(QSaveFile &)> hook);
// The write of the new file's bytes: answers how many were written, as
// QIODevice::write does (tests fail it part way to stand for a full disk).
using Writer = std::function<qint64(QIODevice &, const QByteArray &)>;
void setWriter(Writer writer); // empty restores the plain write

} // namespace mdlIniIo
