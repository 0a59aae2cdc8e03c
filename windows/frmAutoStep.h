#pragma once
// "自動送り": the board follows the bus by itself, by the trip's timetable
// or by the bus's position, through the console's own "送り" and
// "データ送り". Off by default: then nothing runs and the console is as it
// always was. The choice is kept in a small per-user file of its own.
// By timetable the board keeps to the ride clock at any speed: a chime or
// a speech still running when the next stop is due is cut, an announcement
// found late is skipped.
#include "follow/RideFollower.h"
#include "follow/StopsFile.h"

#include <QHash>

#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace follow {
class NmeaSource;
}

class QCheckBox;
class frmCtl;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

class frmAutoStep : public QWidget {
    Q_OBJECT
public:
    explicit frmAutoStep(QWidget *parent = nullptr);
    ~frmAutoStep() override;

    enum class Mode { Off, Timetable, Position };
    enum class Source { Log, Gpsd };

    QRadioButton *optOff = nullptr, *optTimetable = nullptr, *optPosition = nullptr;
    QCheckBox *chkPause = nullptr;
    QSpinBox *spnSpeed = nullptr; // the timetable's clock and a recorded log's playing
    QComboBox *cboTrip = nullptr; // which of the day's trips the timetable follows
    QLabel *lblClock = nullptr;
    QLabel *lblPacing = nullptr;
    QComboBox *cboSource = nullptr;
    QLineEdit *txtSource = nullptr;
    QPushButton *cmdSource = nullptr;
    QSpinBox *spnLeave = nullptr, *spnArrive = nullptr;
    QLabel *lblStatus = nullptr;

    Mode mode() const;
    void setMode(Mode mode);

    // One fix, as the position source delivers it (tests feed them here).
    void feedPosition(double lat, double lon);
    // One turn of the follower: what the timer runs.
    void tick();
    bool running() const { return m_timer.isActive(); }

    // The per-user file the choices live in.
    static QString settingsFile();

    // "自動送り..." in the console's menu: one window, made when first asked for.
    static void addToConsole(frmCtl &console);

    // Real milliseconds as the ride clock reads them (tests drive their own).
    void setClock(std::function<qint64()> nowMs);
    // Announcements cut short because their stop came due.
    int cuts() const { return m_cuts; }

private:
    void start();
    void stop(const QString &status = {});
    void startSource();
    void showPosition();
    void apply(const QList<follow::Event> &events, int indexBefore);
    void rideMoved();
    void save() const;
    void load();
    QList<follow::Stop> stopsOfRoute(QString *why);
    void fillTrips(const QList<follow::Stop> &stops);
    qint64 now() const;
    int msToNext() const;
    void cutIfDue();
    void cut();
    void play(const QString &channel, const std::function<void()> &handler);

    QTimer m_timer;
    QTimer m_cutTimer; // a timer of its own: m_timer never fires inside its own turn
    QElapsedTimer m_real;
    follow::RideClock m_clock;
    std::unique_ptr<follow::PositionFollower> m_position;
    std::unique_ptr<follow::TimetableFollower> m_timetable;
    QList<QPair<double, double>> m_fixes; // arrived while input was held
    std::unique_ptr<follow::NmeaSource> m_source; // its reading runs on a thread of its own
    int m_expected = -1;       // the console's row index after our own last move
    QString m_routeKey;        // the route the stops are of
    double m_pausedAt = -1;    // the ride time when paused
    bool m_loading = false;
    bool m_applying = false;
    QString m_sourceStatus;
    std::function<qint64()> m_now;
    QList<follow::Stop> m_stops;           // of the ride under way
    QList<follow::Trip> m_trips;           // of the route's stops file, beside its own times
    QHash<QString, QString> m_tripOfRoute; // route key -> the trip chosen for it
    QString m_playing;                     // the channel of our own "送り" ("S3") or "データ送り" ("S2") under way
    bool m_cut = false;
    int m_cuts = 0;
};
