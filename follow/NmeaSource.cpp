#include "follow/NmeaSource.h"

#include "core/FileIo.h"
#include "follow/NmeaStream.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace follow {

namespace {

constexpr qint64 kChunk = 64 * 1024; // read at a time; the thread hears a stop between two
constexpr int kMinGapMs = 50;        // a receiver at 10 Hz passes, a flood does not

double clampSpeed(double speed) { return std::isfinite(speed) ? std::clamp(speed, 1.0, 60.0) : 1.0; }

} // namespace

// The reading itself, on the source's thread.
class NmeaWorker : public QObject {
    Q_OBJECT
public:
    void playLog(const QString &path, double speed);
    void setSpeed(double speed);
    void watchGpsd(const QString &host, quint16 port);

signals:
    void fixed(double lat, double lon);
    void ended(follow::NmeaSource::End why, const QString &detail);

private:
    void playNext();
    void readSocket();
    void end(NmeaSource::End why, const QString &detail = {});

    nmea::LineStream m_stream;
    QList<nmea::Fix> m_pending; // read from the log, not yet played
    QFile *m_file = nullptr;
    QTcpSocket *m_socket = nullptr;
    QTimer *m_wait = nullptr;
    QElapsedTimer m_sinceFix;
    int m_lastSec = -1;
    double m_speed = 1;
    bool m_played = false;
    bool m_done = false;
};

void NmeaWorker::setSpeed(double speed)
{
    speed = clampSpeed(speed);
    if (m_wait && m_wait->isActive())
        m_wait->start(int(m_wait->remainingTime() * m_speed / speed));
    m_speed = speed;
}

void NmeaWorker::playLog(const QString &path, double speed)
{
    m_speed = clampSpeed(speed);
    if (!fileio::isRegularFile(path)) {
        end(NmeaSource::End::CannotOpen, path);
        return;
    }
    if (QFileInfo(path).size() > NmeaSource::kMaxLogBytes) {
        end(NmeaSource::End::TooLarge, path);
        return;
    }
    m_file = new QFile(path, this);
    if (!m_file->open(QIODevice::ReadOnly)) {
        end(NmeaSource::End::CannotOpen, path);
        return;
    }
    m_wait = new QTimer(this);
    m_wait->setSingleShot(true);
    connect(m_wait, &QTimer::timeout, this, [this] {
        const nmea::Fix f = m_pending.takeFirst();
        emit fixed(f.lat, f.lon);
        playNext();
    });
    playNext();
}

// Reads until the next fix and waits for its time; one piece of the log a
// turn of the thread's loop, so a stop is heard between any two.
void NmeaWorker::playNext()
{
    if (m_done)
        return;
    if (m_pending.isEmpty()) {
        const bool whole = m_file->atEnd() || m_file->pos() >= NmeaSource::kMaxLogBytes;
        bool usable = true;
        if (whole) {
            usable = m_stream.finish(m_pending);
        } else {
            const QByteArray piece = m_file->read(std::min(kChunk, NmeaSource::kMaxLogBytes - m_file->pos()));
            if (m_file->error() != QFileDevice::NoError) {
                end(NmeaSource::End::ReadFailed, m_file->fileName());
                return;
            }
            usable = m_stream.push(piece, m_pending);
        }
        if (!usable) {
            end(NmeaSource::End::NotNmea);
            return;
        }
        if (m_pending.isEmpty()) {
            if (whole)
                end(m_played ? NmeaSource::End::LogEnded : NmeaSource::End::NoPosition, m_file->fileName());
            else
                QMetaObject::invokeMethod(this, &NmeaWorker::playNext, Qt::QueuedConnection);
            return;
        }
    }
    const int sec = m_pending.first().secondsOfDay;
    m_wait->start(m_played ? nmea::playbackDelayMs(m_lastSec, sec, m_speed) : 0);
    m_lastSec = sec;
    m_played = true;
}

void NmeaWorker::watchGpsd(const QString &host, quint16 port)
{
    m_socket = new QTcpSocket(this);
    m_socket->setReadBufferSize(kChunk); // Qt holds no more than this for us
    connect(m_socket, &QTcpSocket::connected, this, [this] {
        m_socket->write("?WATCH={\"enable\":true,\"nmea\":true}\n"); // gpsd sends its NMEA from here on
    });
    connect(m_socket, &QTcpSocket::readyRead, this, &NmeaWorker::readSocket);
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
        if (e == QAbstractSocket::RemoteHostClosedError)
            end(NmeaSource::End::Disconnected);
        else
            end(NmeaSource::End::Refused, m_socket->errorString());
    });
    m_socket->connectToHost(host, port);
}

void NmeaWorker::readSocket()
{
    QList<nmea::Fix> fixes;
    while (!m_done && m_socket->bytesAvailable() > 0) {
        if (!m_stream.push(m_socket->read(kChunk), fixes)) {
            end(NmeaSource::End::NotNmea);
            return;
        }
    }
    for (const nmea::Fix &f : fixes)
        if (!m_sinceFix.isValid() || m_sinceFix.elapsed() >= kMinGapMs) {
            m_sinceFix.start();
            emit fixed(f.lat, f.lon);
        }
}

void NmeaWorker::end(NmeaSource::End why, const QString &detail)
{
    if (m_done)
        return;
    m_done = true;
    if (m_wait)
        m_wait->stop();
    m_pending.clear();
    if (m_file)
        m_file->close();
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
    }
    emit ended(why, detail);
}

NmeaSource::NmeaSource(QObject *parent) : QObject(parent), m_worker(new NmeaWorker)
{
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    connect(m_worker, &NmeaWorker::fixed, this, &NmeaSource::fixed);
    connect(m_worker, &NmeaWorker::ended, this, &NmeaSource::ended);
    m_thread.setObjectName(QStringLiteral("nmea"));
    m_thread.start();
}

NmeaSource::~NmeaSource()
{
    m_thread.quit();
    m_thread.wait();
}

void NmeaSource::playLog(const QString &path, double speed)
{
    QMetaObject::invokeMethod(m_worker, [w = m_worker, path, speed] { w->playLog(path, speed); }, Qt::QueuedConnection);
}

void NmeaSource::setSpeed(double speed)
{
    QMetaObject::invokeMethod(m_worker, [w = m_worker, speed] { w->setSpeed(speed); }, Qt::QueuedConnection);
}

void NmeaSource::watchGpsd(const QString &host, quint16 port)
{
    QMetaObject::invokeMethod(m_worker, [w = m_worker, host, port] { w->watchGpsd(host, port); }, Qt::QueuedConnection);
}

} // namespace follow

#include "NmeaSource.moc"
