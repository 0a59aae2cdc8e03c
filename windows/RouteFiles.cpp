#include "windows/RouteFiles.h"

#include "core/VbError.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryFile>

namespace routefiles {

namespace {

// A folder the user cannot write (a package's read-only one) is said so,
// rather than as the bare "path or file access error".
void requireWritableFolder(const QString &dir, int number)
{
    const auto refuse = [&](const QString &why) {
        vb::raise(vb::ErrPathFileAccess,
                  QStringLiteral("フォルダー %1 に%2。系統%3のファイルは何も書き換えていません。"
                                 "「設定...」の「運賃データと放送用データ」で、書き込めるフォルダーを選んでください")
                      .arg(dir, why)
                      .arg(number));
    };
    if (!QDir().mkpath(dir))
        refuse(QStringLiteral("書き込めません（フォルダーを作れません。書き込みの権限がないか、読み取り専用です）"));
    QTemporaryFile probe(QDir(dir).filePath(QStringLiteral(".s4probe-XXXXXX")));
    if (!probe.open())
        refuse(QStringLiteral("書き込めません（書き込みの権限がないか、読み取り専用です）"));
}

} // namespace

void write(int number, const QList<fileio::FileWrite> &files)
{
    QSet<QString> dirs;
    for (const fileio::FileWrite &f : files)
        dirs.insert(QFileInfo(f.path).absolutePath());
    for (const QString &d : std::as_const(dirs))
        requireWritableFolder(d, number);
    const fileio::GroupResult r = fileio::writeGroup(files);
    if (!r.error)
        return;
    const QString cause = r.error == vb::ErrDeviceIO ? QStringLiteral("ディスクがいっぱいか、書き込みに失敗しました")
                                                     : vb::Error::standardDescription(r.error);
    if (r.allOld())
        vb::raise(r.error, QStringLiteral("%1 を書き込めません（%2）。系統%3のファイルは何も書き換えていません")
                               .arg(r.failed, cause)
                               .arg(number));
    QStringList left;
    for (qsizetype i = 0; i < r.notRestored.size(); ++i)
        left << QStringLiteral("%1（%2%3）")
                    .arg(r.notRestored[i], QFileInfo::exists(r.notRestored[i]) ? QStringLiteral("新しいもの") : QStringLiteral("ありません"),
                         r.aside.value(i).isEmpty() ? QString() : QStringLiteral("、元のファイルは %1").arg(r.aside[i]));
    vb::raise(r.error, QStringLiteral("%1 を書き込めません（%2）。元のファイルに戻せなかったもの: %3")
                           .arg(r.failed, cause, left.join(QStringLiteral("、"))));
}

} // namespace routefiles
