// Start-up as a rider sees it, measured from outside: from the exec of a
// fresh copy of the program (no settings file beside it) until both its
// windows have painted, which the program prints under SORATOBI4_FIRST_PAINT.
#include "bench/Bench.h"
#include "forms/Windows.h"
#include "panel/ChimeiCtl_A/ChimeiCtl_A.h"
#include "panel/Form1.h"
#include "platform/mci/Mci.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>


#include <limits>

namespace {

double startToBothPainted()
{
    static QTemporaryDir copy;
    const QDir bin(QCoreApplication::applicationDirPath());
    for (const char *name : {"427", "KXP4Res.so"}) {
        const QString to = QDir(copy.path()).filePath(QString::fromLatin1(name));
        if (!QFile::exists(to) && !QFile::copy(bin.filePath(QString::fromLatin1(name)), to))
            return std::numeric_limits<double>::quiet_NaN();
    }
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SORATOBI4_FIRST_PAINT"), QStringLiteral("1"));
    env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS")); // never the desktop's running board
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(copy.path());
    QElapsedTimer t;
    t.start();
    p.start(QDir(copy.path()).filePath(QStringLiteral("427")), {});
    double ms = std::numeric_limits<double>::quiet_NaN();
    QByteArray out;
    while (t.elapsed() < 20000 && p.state() != QProcess::NotRunning) {
        p.waitForReadyRead(50);
        out += p.readAllStandardOutput();
        if (out.contains("painted both")) {
            ms = double(t.nsecsElapsed()) / 1e6;
            break;
        }
    }
    p.kill();
    p.waitForFinished(5000);
    return ms;
}

// The board shown, a short name on the strip and nothing moving: no timer
// should wake the program, and once the sound device opened at start has had
// its quiet spell, no audio thread either.
double idleCpu()
{
    Form1 &panel = windows::Form1();
    panel.show();
    panel.ChimeiCtl()->SetChimei(QStringLiteral("市役所前"));
    QElapsedTimer waited;
    waited.start();
    do {
        QEventLoop settle;
        QTimer::singleShot(250, &settle, &QEventLoop::quit);
        settle.exec();
    } while (!platform::mci::resting() && waited.elapsed() < 15000);
    const double percent = bench::cpuPercentWhileIdle(10000);
    windows::unloadAll();
    return percent;
}

const bench::Register idle(QStringLiteral("board: CPU with the board shown and nothing moving, 10 s (sound device at rest)"),
                           QStringLiteral("% of a core"), 3, idleCpu);

const bench::Register startup(QStringLiteral("start-up: exec of 427 to both windows painted, no settings file"),
                              QStringLiteral("ms"), 9, startToBothPainted);

} // namespace
