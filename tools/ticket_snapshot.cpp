// Writes a picture of each sample ticket for the documentation, drawn as the
// console's preview draws it (through the helper library's KX4_DrawSeiriken).
// Usage: ticket_snapshot OUTPUT_FOLDER PLUGIN.4SP...
#include "core/Cp932.h"
#include "core/KXP4Res.h"
#include "platform/Fonts.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    platform::installFontSubstitutions();
    if (argc < 3) {
        std::fprintf(stderr, "usage: ticket_snapshot OUTPUT_FOLDER PLUGIN.4SP...\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    int failed = 0;
    for (int i = 2; i < argc; ++i) {
        const QString path = QFileInfo(QString::fromLocal8Bit(argv[i])).absoluteFilePath();
        kxp4::PlgInfo info;
        if (!kxp4::KX4_GetPlgInfo(path, info)) {
            std::fprintf(stderr, "not a plug-in: %s\n", argv[i]);
            ++failed;
            continue;
        }
        QImage img(info.PrevWidth / 15, info.PrevHeight / 15, QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter painter(&img);
        kxp4::KX4_DrawSeiriken(path, &painter, QStringLiteral("市民病院前"), QStringLiteral("05-14-2024"),
                               QStringLiteral("08:42:17"), 12, 23, 5, 1);
        painter.end();
        const QString name = out.filePath(QFileInfo(path).completeBaseName() + QStringLiteral(".png"));
        if (!img.save(name))
            ++failed;
        std::printf("%s\n", qPrintable(name));
    }
    return failed ? 1 : 0;
}
