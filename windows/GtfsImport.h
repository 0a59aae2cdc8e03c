#pragma once
// The import of a published bus feed (GTFS / GTFS-JP), opened from the
// options' first page: the feed's stop patterns as a rider knows them, each
// with a route number to import it as, written into the fare and
// announcement folders of the options.
#include <QDialog>

#include <memory>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace opendata {
class Feed;
}

class GtfsImport : public QDialog {
    Q_OBJECT
public:
    explicit GtfsImport(QWidget *parent = nullptr);
    ~GtfsImport() override;

    // The columns of the list; the number column is edited in place.
    enum Column { ColRoute, ColHeadsign, ColStops, ColFirst, ColLast, ColTrips, ColNumber, ColumnCount };

    QLineEdit *txtFeed = nullptr;
    QPushButton *cmdBrowseZip = nullptr, *cmdBrowseFolder = nullptr, *cmdRead = nullptr;
    QTreeWidget *lstPatterns = nullptr;
    QPushButton *cmdImport = nullptr, *cmdClose = nullptr;
    QPlainTextEdit *txtReport = nullptr;

    // Reads the feed named in txtFeed and lists its patterns; false with
    // the reason in the report when it cannot be read.
    bool readFeed();
    // Imports every ticked pattern; answers how many were written.
    int importChecked();

protected:
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void report(const QString &line);
    void fitColumns();

    std::unique_ptr<opendata::Feed> m_feed;
};
