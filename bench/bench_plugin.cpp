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

} // namespace
