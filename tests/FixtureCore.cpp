#include "tests/FixtureCore.h"

#include <QFile>
#include <QtEndian>

namespace fixture {

int tenPerStop(int stop, int column) { return 10 * stop + column; }

QList<fare::FareRecord> stops(int count, const FareOf &fare)
{
    QList<fare::FareRecord> records;
    for (int i = 1; i <= count; ++i) {
        fare::FareRecord r;
        r.StopName = QStringLiteral("停留所%1").arg(i);
        r.SeiriNo = int16_t(i);
        for (int c = 1; c <= fare::kColumns; ++c)
            r.Fare[size_t(c - 1)] = int16_t(fare(i, c));
        records.append(r);
    }
    return records;
}

QByteArray route(int count, const FareOf &fare) { return fare::writeFareFile(stops(count, fare)); }

QByteArray declaring(int count, QByteArray file)
{
    if (file.size() < 2)
        file.resize(2);
    qToLittleEndian<int16_t>(int16_t(count), file.data());
    return file;
}

bool put(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace fixture
