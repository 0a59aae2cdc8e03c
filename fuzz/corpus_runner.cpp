// Feeds every file of a corpus folder to one fuzz body, as libFuzzer would
// replay it: the committed seeds and reproducers run in every build.
#include "fuzz/FuzzEntries.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s BODY CORPUS_DIR (BODY: a folder name under fuzz/corpus)\n", argv[0]);
        return 2;
    }
    const fuzz::Entry entry = fuzz::entryNamed(argv[1]);
    const QDir dir(QString::fromLocal8Bit(argv[2]));
    const QStringList names = dir.entryList(QDir::Files, QDir::Name);
    if (!entry || names.isEmpty()) {
        std::fprintf(stderr, "unknown body or empty corpus\n");
        return 2;
    }
    for (const QString &name : names) {
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::ReadOnly))
            return 1;
        const QByteArray bytes = f.readAll();
        QElapsedTimer t;
        t.start();
        entry(reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size()));
        std::printf("%-40s %8lld bytes %6lld ms\n", qPrintable(name), qlonglong(bytes.size()), t.elapsed());
    }
    return 0;
}
