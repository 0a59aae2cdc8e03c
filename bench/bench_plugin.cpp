// Ticket plug-ins: what SetPlgin asks of the library for the richer sample,
// the bare reader, and one KX4_DrawSeiriken onto the preview's picture.
#include "bench/Bench.h"
#include "core/KXP4Res.h"
#include "core/PlgInfo.h"
#include "helperlib/Plugin4sp.h"
#include "platform/Fonts.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTemporaryDir>

namespace {

const QString kRich = QStringLiteral(S4_PLUGIN_DIR "/seiriken_barcode.4SP");

// One call of `fn` in milliseconds, after a first call that loads the
// library and the faces.
template<typename F>
double oneCallMs(F &&fn)
{
    static bool warm = false;
    if (!warm) {
        platform::installFontSubstitutions();
        fn();
        warm = true;
    }
    QElapsedTimer t;
    t.start();
    fn();
    return t.nsecsElapsed() / 1e6;
}

// The library calls of SetPlgin: record, notes, capability lines, companies.
const bench::Register setPlgin("plug-in: SetPlgin's library calls, richer sample", "ms", 31, [] {
    static QPlainTextEdit notes;
    static QComboBox combo;
    return oneCallMs([] {
        kxp4::PlgInfo info;
        kxp4::KX4_GetPlgInfo(kRich, info);
        kxp4::KX4_SetPlgComment(kRich, &notes);
        const QStringList lines = kxp4::capabilityLines(info);
        combo.clear();
        if (info.CorpSwitch >= 1)
            kxp4::KX4_SetCorpAddList(kRich, &combo);
        Q_UNUSED(lines);
    });
});

const bench::Register readOnly("plug-in: readPlugin of the richer sample's bytes", "ms", 31, [] {
    static const QByteArray bytes = [] {
        QFile f(kRich);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    return oneCallMs([] { plugin::readPlugin(bytes); });
});

const bench::Register draw("plug-in: one KX4_DrawSeiriken, richer sample", "ms", 31, [] {
    static QImage picture(170, 300, QImage::Format_RGB32);
    return oneCallMs([] {
        picture.fill(Qt::white); // the preview's Cls
        QPainter p(&picture);
        kxp4::KX4_DrawSeiriken(kRich, &p, QStringLiteral("市民病院前"), QStringLiteral("05-14-2024"),
                               QStringLiteral("08:42:17"), 12, 23, 5, 1);
    });
});


// The worst the reader takes, found by its cost model: stop names of 64
// pixels (the largest cached glyphs), each cut to 120 dense kanji, with the
// longest stop name the console can pass; and three outline glyphs of the
// largest size. The bound they keep to is a few milliseconds.
template<typename Make>
double worstDrawMs(const QString &name, Make make)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(name);
    if (!QFile::exists(path)) {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write("4SP 1\n[info]\nPrevWidth = 15000\nPrevHeight = 15000\n[ticket]\n" + make());
    }
    static QImage picture(1000, 1000, QImage::Format_RGB32);
    static const QString stop(65535 / 2, QChar(0x9B31)); // 64 KiB as code page 932
    return oneCallMs([&] {
        picture.fill(Qt::white);
        QPainter p(&picture);
        kxp4::KX4_DrawSeiriken(path, &p, stop, QString(200, u'9'), QString(200, u'8'), 12, 23, 5, 1);
    });
}

const bench::Register worstStops("plug-in: one KX4_DrawSeiriken, worst accepted (23 stops of 64 px, 64 KiB name)", "ms", 31, [] {
    return worstDrawMs(QStringLiteral("stops.4SP"), [] {
        QByteArray items;
        for (int i = 0; i < 23; ++i)
            items += "text x=0 y=" + QByteArray::number(i * 600) + " w=3600 size=960 bold \"{stop}\"\n";
        return items;
    });
});

const bench::Register worstGlyphs("plug-in: one KX4_DrawSeiriken, worst accepted (3 kanji of size 6000)", "ms", 31, [] {
    return worstDrawMs(QStringLiteral("glyphs.4SP"), [] {
        return QStringLiteral("text x=0 y=0 w=15000 size=6000 bold \"鬱\"\n").toUtf8().repeated(3);
    });
});

} // namespace
