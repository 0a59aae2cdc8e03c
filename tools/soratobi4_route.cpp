// soratobi4-route: route data between a spreadsheet's CSV and the .hy3 file
// the console loads, and a check of an announcement list.
#include "console/FareData.h"
#include "core/FileIo.h"
#include "core/VbError.h"
#include "tools/RouteCsv.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

namespace {

constexpr qint64 kMaxInput = 64 * 1024 * 1024;

const char kHelp[] = R"(usage:
  soratobi4-route to-hy3 ROUTE.csv ROUTE.hy3      CSV to route fare file
  soratobi4-route to-csv ROUTE.hy3 ROUTE.csv [--cp932]
                                                  route fare file to CSV
  soratobi4-route check-tp ROUTEtp.csv            what the program reads
                                                  from an announcement list
  soratobi4-route tape LIST.csv ROUTEtp.csv       an announcement list written
                                                  in UTF-8 to code page 932

Route CSV: one stop a line: stop name, ticket number, then value columns
1..150 (trailing empty cells may be left out; an empty cell is 0). At most
301 stops, every number a whole number in -32768..32767. UTF-8 with or
without BOM, or code page 932 (Shift_JIS as Japanese spreadsheets save it).
to-csv writes UTF-8 with a BOM, or code page 932 with --cp932.

Announcement list (code page 932): one entry a line: text, step flag
(1: the fares step along), sound flag (1..3: TapeSound1..3 first). A text
in double quotes may hold commas.

Nothing is written when the input has an error; the message names the line
and the column. Exit status: 0 done, 1 bad input, 2 usage.
)";

QTextStream &out()
{
    static QTextStream s(stdout);
    return s;
}
QTextStream &err()
{
    static QTextStream s(stderr);
    return s;
}

QByteArray readAll(const QString &path)
{
    // A regular file only: a FIFO or a device would hang or never end.
    fileio::Read f = fileio::readRegular(path, kMaxInput);
    if (f.error)
        vb::raise(f.error, QStringLiteral("cannot read %1: %2").arg(path, vb::Error::standardDescription(f.error)));
    f.bytes.truncate(kMaxInput);
    return f.bytes;
}

// Whole or nothing: a failure (a full disk included) leaves any old file as it was.
void writeAll(const QString &path, const QByteArray &bytes)
{
    if (const int e = fileio::writeWhole(path, bytes))
        vb::raise(e, QStringLiteral("cannot write %1: %2")
                         .arg(path, e == vb::ErrDeviceIO ? QStringLiteral("the disk is full or failed; nothing was written")
                                                         : vb::Error::standardDescription(e)));
}

int run(const QStringList &args)
{
    const QString cmd = args.value(0);
    if (cmd == QLatin1String("to-hy3") && args.size() == 3) {
        const auto records = routecsv::readRouteCsv(readAll(args[1]));
        writeAll(args[2], fare::writeFareFile(records));
        out() << args[2] << ": " << records.size() << " stops\n";
        return 0;
    }
    if (cmd == QLatin1String("to-csv") && (args.size() == 3 || (args.size() == 4 && args[3] == QLatin1String("--cp932")))) {
        const fare::FareFile file = fare::readFareFile(readAll(args[1]));
        if (file.DataCount < 1 || file.DataCount > fare::kRows)
            vb::raise(vb::ErrSubscript, QStringLiteral("the file declares %1 stops (1..%2 load)").arg(file.DataCount).arg(fare::kRows));
        const auto enc = args.size() == 4 ? routecsv::Encoding::Cp932 : routecsv::Encoding::Utf8Bom;
        writeAll(args[2], routecsv::writeRouteCsv(file.records, enc));
        out() << args[2] << ": " << file.records.size() << " stops\n";
        return 0;
    }
    if (cmd == QLatin1String("check-tp") && args.size() == 2) {
        const routecsv::TapeCheck c = routecsv::checkTapeCsv(readAll(args[1]));
        for (int i = 0; i < c.entries.size(); ++i) {
            const routecsv::TapeEntry &e = c.entries[i];
            out() << QStringLiteral("%1: step %2, sound %3: %4\n").arg(i + 1).arg(e.stepFlag).arg(e.soundFlag).arg(e.text);
        }
        for (const QString &w : c.warnings)
            err() << args[1] << ": " << w << '\n';
        out() << c.entries.size() << " entries, " << c.warnings.size() << " warnings\n";
        return 0;
    }
    if (cmd == QLatin1String("tape") && args.size() == 3) {
        const QByteArray list = routecsv::convertTapeCsv(readAll(args[1]));
        writeAll(args[2], list);
        out() << args[2] << ": " << routecsv::checkTapeCsv(list).entries.size() << " entries\n";
        return 0;
    }
    if (cmd == QLatin1String("--help") || cmd == QLatin1String("-h")) {
        out() << kHelp;
        return 0;
    }
    err() << kHelp;
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    args.removeFirst();
    try {
        return run(args);
    } catch (...) {
        const vb::Error e = vb::currentError();
        err() << args.value(1) << ": " << e.description() << " (error " << e.number() << ")\n";
        return 1;
    }
}
