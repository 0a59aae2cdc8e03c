// The ride recorder: the demo route ridden by its timetable at x1, 1080p30,
// as a user runs the command. Speed against real time and the peak memory,
// both from one recording.
#include "bench/Bench.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <limits>

namespace {

struct Result {
    double speed = std::numeric_limits<double>::quiet_NaN();
    double peakMb = std::numeric_limits<double>::quiet_NaN();
};

const Result &recordDemo()
{
    static Result r;
    static bool done = false;
    if (done)
        return r;
    done = true;
    QTemporaryDir dir;
    const QDir bin(QCoreApplication::applicationDirPath());
    QProcess p;
    p.start(bin.filePath(QStringLiteral("soratobi4-record")),
            {QStringLiteral("--route"), QStringLiteral("12"), QStringLiteral("--section"), QStringLiteral("1"),
             QStringLiteral("--settings"), bin.filePath(QStringLiteral("examples/demo/demo.in4")),
             QStringLiteral("--timetable"), QStringLiteral("--speed"), QStringLiteral("1"), QStringLiteral("--screen"),
             QStringLiteral("1920x1080"), QStringLiteral("--fps"), QStringLiteral("30"), QStringLiteral("--out"),
             dir.filePath(QStringLiteral("demo.mp4"))});
    if (!p.waitForFinished(3600 * 1000) || p.exitCode() != 0)
        return r;
    const QString said = QString::fromLocal8Bit(p.readAllStandardError());
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("\\(([0-9.]+)x real time\\), peak memory ([0-9]+) MB")).match(said);
    if (m.hasMatch()) {
        r.speed = m.captured(1).toDouble();
        r.peakMb = m.captured(2).toDouble();
    }
    return r;
}

const bench::Register speed("record: demo by its timetable x1, 1080p30 (speed against real time)", "x", 1,
                            [] { return recordDemo().speed; });
const bench::Register memory("record: demo by its timetable x1, 1080p30 (peak memory)", "MB", 1,
                             [] { return recordDemo().peakMb; });

} // namespace
