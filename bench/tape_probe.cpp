// Starts the board as a user does, sets a route with an announcement list of
// plain lines (no sound before them) and presses "送り" on the console now
// and then, printing the steady-clock time of each press:
//   s4tapeprobe FIRST_MS PRESSES
// FIRST_MS after the windows show, the first press; each later one 1.2 s
// after the one before, with "■" pressed 400 ms before it so the line
// before has gone quiet. s4bench runs it on SDL's disk driver and finds the
// first sound of each line in what the driver wrote.
#include "assets/AssetFonts.h"
#include "console/frmCtl.h"
#include "core/Cp932.h"
#include "forms/Values.h"
#include "forms/Windows.h"
#include "options/frmOption.h"
#include "panel/Form1.h"
#include "platform/Fonts.h"
#include "platform/MsgBox.h"
#include "ride/FareData.h"
#include "settings/mdlIniIo.h"

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cstdio>

namespace {

void write(const QString &path, const QByteArray &data)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size())
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray fareFile()
{
    QList<fare::FareRecord> records;
    for (int i = 1; i <= 20; ++i) {
        fare::FareRecord r;
        r.StopName = QStringLiteral("市役所前%1").arg(i);
        r.SeiriNo = int16_t(i);
        for (int c = 1; c <= 150; ++c)
            r.Fare[size_t(c - 1)] = int16_t(c == 150 ? 0 : 170 + 10 * c);
        records.append(r);
    }
    return fare::writeFareFile(records);
}

// Plain lines: no step, no sound before.
QByteArray tapeFile(int lines)
{
    static const char *const kStops[] = {"市役所前", "中央病院", "県庁北口", "駅前広場", "北町二丁目"};
    QString text;
    for (int i = 0; i < lines; ++i)
        text += QStringLiteral("次は、%1です。お降りの方はお知らせください。,0,0\r\n").arg(QString::fromUtf8(kStops[i % 5]));
    return cp932::encode(text);
}

qint64 now()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Soratobi4"));
    const int firstMs = argc > 1 ? std::max(0, atoi(argv[1])) : 1000;
    const int presses = argc > 2 ? std::max(1, atoi(argv[2])) : 1;
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    platform::installFontSubstitutions();
    assets::registerDigitFonts();
    frmCtl::lampTestMs = 0;
    platform::setMsgBoxHandler([](const platform::MsgBoxRequest &) { return int(platform::vbOK); });
    mdlIniIo::setSettingsPath(dir.filePath(QStringLiteral("probe.in4")));
    write(dir.filePath(QStringLiteral("12.hy3")), fareFile());
    write(dir.filePath(QStringLiteral("12tp.csv")), tapeFile(presses));

    windows::Form1().show();
    frmCtl &c = windows::frmCtl();
    frmOption &o = windows::frmOption();
    forms::setText(*o.Text2(0), dir.path());
    forms::setText(*o.Text2(1), dir.path());
    forms::setOptionValue(*o.Option2(3), -1); // the line's own sound: none
    forms::setCaption(*c.Label2(0), QStringLiteral("12"));
    forms::setCaption(*c.Label2(2), QStringLiteral("1"));
    c.Command1_Click(1);
    if (!c.cmdTapeNext->isEnabled()) {
        std::fprintf(stderr, "no announcement list\n");
        return 1;
    }

    int done = 0;
    std::function<void()> press = [&] {
        const qint64 at = now();
        c.cmdTapeNext->click();
        // The handler's own time tells what the GUI thread spent of the wait.
        std::printf("press %lld handler %.3f ms\n", static_cast<long long>(at), (now() - at) / 1e6);
        std::fflush(stdout);
        if (++done == presses) {
            QTimer::singleShot(1000, &app, [] { QCoreApplication::exit(0); }); // quit() would ask the windows
            return;
        }
        QTimer::singleShot(800, Qt::PreciseTimer, c.cmdTapeStop, &QPushButton::click);
        QTimer::singleShot(1200, Qt::PreciseTimer, &app, press);
    };
    QTimer::singleShot(firstMs, Qt::PreciseTimer, &app, press);
    const int result = app.exec();
    windows::unloadAll();
    return result;
}
