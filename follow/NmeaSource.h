#pragma once
// Where the positions come from: a recorded NMEA log played by its own
// times (sped up 1 to 60 times), or a gpsd on this computer. Read on a thread of its own through
// the bounded line reader, so that no log and no peer can hold the windows
// up or fill the memory; fixes arrive by queued signals, at most one each
// 50 ms from a live peer. Qt Core and Network; no window.
#include <QObject>
#include <QString>
#include <QThread>

namespace follow {

class NmeaWorker;

class NmeaSource : public QObject {
    Q_OBJECT
public:
    // A log larger than this is refused before a byte of it is read.
    static constexpr qint64 kMaxLogBytes = qint64(512) << 20;

    // Why a source stopped: after any of these nothing more comes from it.
    enum class End {
        CannotOpen,   // detail: the path
        TooLarge,     // detail: the path
        ReadFailed,   // detail: the path
        NotNmea,      // garbage, or a line that never ends
        NoPosition,   // a log that ended without one fix; detail: the path
        LogEnded,     // a log played to its end
        Refused,      // gpsd could not be reached; detail: why
        Disconnected, // gpsd closed the connection
    };
    Q_ENUM(End)

    explicit NmeaSource(QObject *parent = nullptr);
    ~NmeaSource() override; // stops the reading and joins its thread

    // `speed` log seconds a real second, 1 to 60.
    void playLog(const QString &path, double speed = 1);
    // A new speed for the log playing; the wait under way shrinks or grows with it.
    void setSpeed(double speed);
    void watchGpsd(const QString &host, quint16 port);

signals:
    void fixed(double lat, double lon);
    void ended(follow::NmeaSource::End why, const QString &detail);

private:
    QThread m_thread;
    NmeaWorker *m_worker = nullptr; // lives on m_thread, deleted there
};

} // namespace follow
