// Writes pictures of the options dialog for the documentation: each of its
// six pages and the second sound frame, with the dependent frames shown.
// Run under a display (xvfb-run works): options_snapshot OUTPUT_FOLDER
#include "assets/AssetFonts.h"
#include "forms/Values.h"
#include "forms/Windows.h"
#include "options/frmOption.h"
#include "platform/Fonts.h"
#include "tools/Snapshot.h"
#include "windows/GtfsImport.h"
#include "windows/RouteCsvImport.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTreeWidget>


int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    platform::installFontSubstitutions();
    assets::registerDigitFonts();
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));

    frmOption &dlg = windows::frmOption();
    // Everything that depends on a choice is shown, so every caption is in a picture.
    forms::setOptionValue(*dlg.Option3(1), -1);
    forms::setCheckValue(*dlg.chkUseSeiriPrev, 1);
    for (int i = 0; i < 4; ++i)
        forms::setCheckValue(*dlg.Check3(i), 1);
    // The fixed date starts as today's: pictured at one day, so the page is the same every day.
    forms::setCaption(*dlg.Label10, QStringLiteral("2026/12/09"));
    dlg.show();

    const auto save = [&](const QString &name) {
        snapshot::waitMs(150);
        dlg.grab().save(out.filePath(name));
    };
    for (int page = 0; page < 6; ++page) {
        forms::setOptionValue(*dlg.Option1(page), -1);
        save(QStringLiteral("options-page%1.png").arg(page));
    }
    forms::setOptionValue(*dlg.Option1(4), -1);
    forms::setOptionValue(*dlg.Option5(0), -1);
    save(QStringLiteral("options-page4-tape.png"));

    // The import window from the first page, over a small feed of two
    // routes written here.
    QTemporaryDir feed;
    const QList<std::pair<const char *, QByteArray>> files = {
        {"agency.txt", "agency_id,agency_name\nA,さくら台交通\n"},
        {"stops.txt", "stop_id,stop_name,stop_lat,stop_lon\nS1,空見駅前,35.000,135.0\nS2,本町一丁目,35.003,135.0\n"
                      "S3,市役所前,35.006,135.0\nS4,空見台ターミナル,35.009,135.0\n"},
        {"routes.txt", "route_id,agency_id,route_short_name,route_long_name,route_type\nR12,A,12,空見台線,3\n"
                       "R3,A,3,駅前循環,3\n"},
        {"trips.txt", "route_id,service_id,trip_id,trip_headsign,direction_id\nR12,W,T1,空見台ターミナル,0\n"
                      "R12,W,T2,空見台ターミナル,0\nR12,W,T3,空見駅前,1\nR3,W,T4,空見駅前,0\n"},
        {"stop_times.txt", "trip_id,arrival_time,departure_time,stop_id,stop_sequence\n"
                           "T1,07:30:00,07:30:00,S1,1\nT1,07:32:00,07:32:00,S2,2\nT1,07:34:00,07:34:00,S3,3\nT1,07:36:00,07:36:00,S4,4\n"
                           "T2,08:30:00,08:30:00,S1,1\nT2,08:32:00,08:32:00,S2,2\nT2,08:34:00,08:34:00,S3,3\nT2,08:36:00,08:36:00,S4,4\n"
                           "T3,09:00:00,09:00:00,S4,1\nT3,09:02:00,09:02:00,S3,2\nT3,09:04:00,09:04:00,S1,3\n"
                           "T4,10:00:00,10:00:00,S1,1\nT4,10:05:00,10:05:00,S2,2\n"},
    };
    for (const auto &[name, bytes] : files) {
        QFile f(QDir(feed.path()).filePath(QString::fromLatin1(name)));
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
    }
    {
        // Gone before the dialog it belongs to.
        GtfsImport import(&dlg);
        import.txtFeed->setText(QStringLiteral("/home/user/feeds/sakuradai-gtfs"));
        import.show();
        import.txtFeed->setText(feed.path());
        import.readFeed();
        import.txtFeed->setText(QStringLiteral("/home/user/feeds/sakuradai-gtfs.zip"));
        import.lstPatterns->topLevelItem(0)->setCheckState(GtfsImport::ColRoute, Qt::Checked);
        import.txtReport->clear();
        import.txtReport->appendPlainText(QStringLiteral("/home/user/feeds/sakuradai-gtfs.zip: 3 の系統パターン"));
        snapshot::waitMs(150);
        import.grab().save(out.filePath(QStringLiteral("gtfs-import.png")));
    }
    {
        // The route spreadsheet's import, after a route written from it.
        RouteCsvImport import(&dlg);
        import.txtRoute->setText(QStringLiteral("/home/user/routes/34.csv"));
        import.txtTape->setText(QStringLiteral("/home/user/routes/34放送.csv"));
        import.txtNumber->setValue(34);
        import.show();
        import.txtReport->appendPlainText(QStringLiteral("書き込みました: /home/user/.local/share/Soratobi4/examples/demo/34.hy3\n"
                                                         "書き込みました: /home/user/.local/share/Soratobi4/examples/demo/34tp.csv\n"
                                                         "系統34: 停留所12、放送14件"));
        snapshot::waitMs(150);
        import.grab().save(out.filePath(QStringLiteral("csv-import.png")));
    }
    windows::unloadAll();
    return 0;
}
