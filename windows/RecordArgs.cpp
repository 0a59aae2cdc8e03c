#include "windows/RecordArgs.h"

#include <QRegularExpression>

namespace recordargs {

QStringList arguments(const Choice &c)
{
    QStringList a{QStringLiteral("--route"), c.route, QStringLiteral("--section"), c.section};
    switch (c.drive) {
    case Choice::Drive::Timetable:
        a << QStringLiteral("--timetable") << QStringLiteral("--speed") << QString::number(c.speed);
        break;
    case Choice::Drive::Nmea:
        a << QStringLiteral("--nmea") << c.driveFile;
        break;
    case Choice::Drive::Script:
        a << QStringLiteral("--script") << c.driveFile;
        break;
    }
    if (c.screen.isEmpty())
        a << QStringLiteral("--scale") << QString::number(c.scale);
    else
        a << QStringLiteral("--screen") << c.screen;
    a << QStringLiteral("--fps") << QString::number(c.fps);
    if (!c.settings.isEmpty())
        a << QStringLiteral("--settings") << c.settings;
    a << QStringLiteral("--out") << c.out;
    return a;
}

int progressOf(const QString &line)
{
    static const QRegularExpression share(QStringLiteral("\\((\\d{1,3})%\\)"));
    QRegularExpressionMatchIterator it = share.globalMatch(line);
    int last = -1;
    while (it.hasNext())
        last = it.next().captured(1).toInt();
    return last > 100 ? 100 : last;
}

} // namespace recordargs
