// Replays every file of the folders named on the command line through
// fuzzTape, so the seeds (and any crash once found) run as an ordinary test.
#include <QDirIterator>
#include <QFile>
#include <cstdio>

int fuzzTape(const uint8_t *data, size_t size);

int main(int argc, char **argv)
{
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        QDirIterator it(QString::fromLocal8Bit(argv[i]), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile f(it.next());
            if (!f.open(QIODevice::ReadOnly))
                return 1;
            const QByteArray bytes = f.readAll();
            fuzzTape(reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size()));
            ++files;
        }
    }
    std::printf("%d inputs replayed\n", files);
    return files > 0 ? 0 : 1;
}
