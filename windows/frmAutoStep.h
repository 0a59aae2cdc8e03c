#pragma once
// "自動送り": the board follows the bus by itself, by the trip's timetable
// or by the bus's position, through the console's own "送り" and
// "データ送り". Off by default: then nothing runs and the console is as it
// always was. The choice is kept in a small per-user file of its own.
#include "follow/RideFollower.h"

#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QTimer>
#include <QWidget>

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
    QSpinBox *spnSpeed = nullptr;
    QLabel *lblClock = nullptr;
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

private:
    void start();
    void stop(const QString &status = {});
    void startSource();
    void showPosition();
    void apply(const QList<follow::Event> &events, int indexBefore);
    void rideMoved();
    void save() const;
    void load();
    QList<follow::Stop> stopsOfRoute(QString *why) const;

    QTimer m_timer;
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
};
