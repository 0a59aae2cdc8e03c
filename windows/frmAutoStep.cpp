#include "windows/frmAutoStep.h"

#include "console/frmCtl.h"
#include "core/FileIo.h"
#include "core/InputHold.h"
#include "follow/NmeaSource.h"
#include "follow/StopsFile.h"
#include "forms/Windows.h"
#include "options/OptionReads.h"
#include "platform/EventGuard.h"
#include "platform/Paths.h"
#include "ride/Ride.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QSpinBox>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace {

QString clockText(double rideSec)
{
    const int t = int(rideSec);
    return QStringLiteral("%1:%2:%3")
        .arg(t / 3600, 2, 10, QChar(u'0'))
        .arg(t / 60 % 60, 2, 10, QChar(u'0'))
        .arg(t % 60, 2, 10, QChar(u'0'));
}

} // namespace

frmAutoStep::frmAutoStep(QWidget *parent) : QWidget(parent, Qt::Tool)
{
    setWindowTitle(QStringLiteral("自動送り"));
    auto *layout = new QVBoxLayout(this);
    auto *modes = new QGroupBox(QStringLiteral("送り方"), this);
    auto *ml = new QHBoxLayout(modes);
    optOff = new QRadioButton(QStringLiteral("切（手動）"), modes);
    optTimetable = new QRadioButton(QStringLiteral("時刻表"), modes);
    optPosition = new QRadioButton(QStringLiteral("位置（GPS）"), modes);
    for (QRadioButton *b : {optOff, optTimetable, optPosition})
        ml->addWidget(b);
    optOff->setChecked(true);
    layout->addWidget(modes);

    auto *tt = new QGroupBox(QStringLiteral("時刻表"), this);
    auto *tl = new QFormLayout(tt);
    spnSpeed = new QSpinBox(tt);
    spnSpeed->setRange(1, 60);
    spnSpeed->setPrefix(QStringLiteral("×"));
    spnSpeed->setAccessibleName(QStringLiteral("spnSpeed"));
    tl->addRow(QStringLiteral("速さ："), spnSpeed);
    lblClock = new QLabel(QStringLiteral("--:--:--"), tt);
    lblClock->setAccessibleName(QStringLiteral("lblClock"));
    tl->addRow(QStringLiteral("運行時刻："), lblClock);
    chkPause = new QCheckBox(QStringLiteral("一時停止"), tt);
    tl->addRow(chkPause);
    layout->addWidget(tt);

    auto *pos = new QGroupBox(QStringLiteral("位置"), this);
    auto *pl = new QFormLayout(pos);
    cboSource = new QComboBox(pos);
    cboSource->addItems({QStringLiteral("記録したNMEAログ"), QStringLiteral("gpsd（このコンピューター）")});
    cboSource->setAccessibleName(QStringLiteral("cboSource"));
    pl->addRow(QStringLiteral("位置の入力："), cboSource);
    auto *row = new QHBoxLayout;
    txtSource = new QLineEdit(pos);
    txtSource->setAccessibleName(QStringLiteral("txtSource"));
    cmdSource = new QPushButton(QStringLiteral("..."), pos);
    row->addWidget(txtSource);
    row->addWidget(cmdSource);
    pl->addRow(QStringLiteral("ログ / ポート："), row);
    spnLeave = new QSpinBox(pos);
    spnArrive = new QSpinBox(pos);
    for (QSpinBox *s : {spnLeave, spnArrive}) {
        s->setRange(5, 500);
        s->setSuffix(QStringLiteral(" m"));
        s->setValue(30);
    }
    spnLeave->setAccessibleName(QStringLiteral("spnLeave"));
    spnArrive->setAccessibleName(QStringLiteral("spnArrive"));
    pl->addRow(QStringLiteral("発車とみなす距離："), spnLeave);
    pl->addRow(QStringLiteral("到着とみなす距離："), spnArrive);
    layout->addWidget(pos);

    lblStatus = new QLabel(QStringLiteral("切"), this);
    lblStatus->setAccessibleName(QStringLiteral("lblStatus"));
    lblStatus->setWordWrap(true);
    lblStatus->setMinimumWidth(320);
    layout->addWidget(lblStatus);

    // Only while a mode runs: with nothing to follow, no timer wakes.
    m_timer.setInterval(200);
    connect(&m_timer, &QTimer::timeout, this, [this] { platform::guarded([this] { tick(); }); });
    for (QRadioButton *b : {optOff, optTimetable, optPosition})
        connect(b, &QRadioButton::toggled, this, [this](bool on) {
            if (on && !m_loading)
                platform::guarded([this] {
                    save();
                    start();
                });
        });
    connect(spnSpeed, &QSpinBox::valueChanged, this, [this](int v) {
        m_clock.setSpeed(v, m_real.isValid() ? m_real.elapsed() : 0);
        if (!m_loading)
            save();
    });
    connect(chkPause, &QCheckBox::toggled, this, [this](bool paused) {
        const qint64 now = m_real.isValid() ? m_real.elapsed() : 0;
        if (paused)
            m_pausedAt = m_clock.at(now);
        else if (m_pausedAt >= 0)
            m_clock.start(m_pausedAt, now, spnSpeed->value()); // the clock re-based where it stood
    });
    for (QSpinBox *s : {spnLeave, spnArrive})
        connect(s, &QSpinBox::valueChanged, this, [this] {
            if (!m_loading) {
                save();
                if (mode() == Mode::Position)
                    start();
            }
        });
    connect(cmdSource, &QPushButton::clicked, this, [this] {
        const QString f = QFileDialog::getOpenFileName(this, QStringLiteral("NMEAログ"), txtSource->text(),
                                                       QStringLiteral("NMEA (*.nmea *.log *.txt);;すべてのファイル (*)"));
        if (!f.isEmpty())
            txtSource->setText(f);
    });
    connect(txtSource, &QLineEdit::editingFinished, this, [this] {
        save();
        if (mode() == Mode::Position)
            platform::guarded([this] { start(); });
    });
    connect(cboSource, &QComboBox::currentIndexChanged, this, [this] {
        if (!m_loading)
            save();
    });
    // The ride tells each move: a new route, or a step by hand.
    connect(&windows::frmCtl().ride(), &ride::Ride::positionChanged, this,
            [this] { platform::guarded([this] { rideMoved(); }); });
    load();
}

frmAutoStep::~frmAutoStep() = default;

void frmAutoStep::addToConsole(frmCtl &console)
{
    console.addMenuEntry(QStringLiteral("自動送り..."), [c = &console, w = QPointer<frmAutoStep>()]() mutable {
        if (!w)
            w = new frmAutoStep(c);
        w->show();
        w->raise();
    });
}

QString frmAutoStep::settingsFile()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)).filePath(QStringLiteral("autostep.conf"));
}

frmAutoStep::Mode frmAutoStep::mode() const
{
    return optTimetable->isChecked() ? Mode::Timetable : optPosition->isChecked() ? Mode::Position : Mode::Off;
}

void frmAutoStep::setMode(Mode m)
{
    (m == Mode::Timetable ? optTimetable : m == Mode::Position ? optPosition : optOff)->setChecked(true);
}

// key=value lines; what cannot be read is left at its start value.
void frmAutoStep::load()
{
    m_loading = true;
    const fileio::Read r = fileio::readRegular(settingsFile(), 64 * 1024);
    for (const QByteArray &line : r.bytes.split('\n')) {
        const QString l = QString::fromUtf8(line).trimmed();
        const QString key = l.section(u'=', 0, 0), value = l.section(u'=', 1);
        if (key == u"mode")
            setMode(value == u"timetable" ? Mode::Timetable : value == u"position" ? Mode::Position : Mode::Off);
        else if (key == u"speed")
            spnSpeed->setValue(value.toInt());
        else if (key == u"source")
            cboSource->setCurrentIndex(value == u"gpsd" ? 1 : 0);
        else if (key == u"path")
            txtSource->setText(value);
        else if (key == u"leave")
            spnLeave->setValue(value.toInt());
        else if (key == u"arrive")
            spnArrive->setValue(value.toInt());
    }
    m_loading = false;
    if (mode() != Mode::Off)
        start();
}

void frmAutoStep::save() const
{
    const Mode m = mode();
    QString text;
    text += QStringLiteral("mode=%1\n").arg(m == Mode::Timetable ? u"timetable" : m == Mode::Position ? u"position" : u"off");
    text += QStringLiteral("speed=%1\nsource=%2\npath=%3\nleave=%4\narrive=%5\n")
                .arg(spnSpeed->value())
                .arg(cboSource->currentIndex() == 1 ? u"gpsd" : u"log")
                .arg(txtSource->text())
                .arg(spnLeave->value())
                .arg(spnArrive->value());
    QDir().mkpath(QFileInfo(settingsFile()).absolutePath());
    // A preference that cannot be kept is no reason to stop the ride.
    fileio::writeWhole(settingsFile(), text.toUtf8());
}

QList<follow::Stop> frmAutoStep::stopsOfRoute(QString *why) const
{
    const fare::RouteState &route = windows::frmCtl().ride().route();
    if (route.DataCount <= 0 || route.RouteNo.isEmpty()) {
        *why = QStringLiteral("系統が読み込まれていません。「リセット」で系統を読み込んでください。");
        return {};
    }
    const QString key = fare::routeKey(route.RouteNo);
    const QString path = platform::findFile(platform::withSeparator(options::read::fareDataDir()) + key
                                            + QStringLiteral(".stops.csv"));
    if (path.isEmpty()) {
        *why = QStringLiteral("系統%1の停留所の位置と時刻（%1.stops.csv）がありません。").arg(key);
        return {};
    }
    try {
        const fileio::Read r = fileio::readRegular(path, 4 << 20);
        if (r.error)
            vb::raise(r.error);
        return follow::readStopsFile(r.bytes);
    } catch (...) {
        *why = QStringLiteral("%1 を読み込めません: %2").arg(path, vb::currentError().description());
        return {};
    }
}

void frmAutoStep::stop(const QString &status)
{
    m_timer.stop();
    m_position.reset();
    m_timetable.reset();
    m_fixes.clear();
    m_source.reset();
    lblStatus->setText(status.isEmpty() ? QStringLiteral("切") : status);
}

void frmAutoStep::start()
{
    stop();
    if (mode() == Mode::Off)
        return;
    QString why;
    const QList<follow::Stop> stops = stopsOfRoute(&why);
    if (stops.isEmpty()) {
        stop(why);
        return;
    }
    const fare::RouteState &route = windows::frmCtl().ride().route();
    m_expected = route.CurIndex;
    m_routeKey = fare::routeKey(route.RouteNo);
    m_real.start();
    if (mode() == Mode::Timetable) {
        m_timetable = std::make_unique<follow::TimetableFollower>(stops, m_expected);
        if (!m_timetable->usable()) {
            stop(QStringLiteral("この系統には便の時刻がないため、時刻表では送れません。"));
            return;
        }
        m_clock.start(m_timetable->startSec(m_expected), 0, spnSpeed->value());
    } else {
        follow::PositionSettings s;
        s.leaveRadiusM = spnLeave->value();
        s.arriveRadiusM = spnArrive->value();
        m_position = std::make_unique<follow::PositionFollower>(stops, m_expected, s);
        if (!m_position->usable()) {
            stop(QStringLiteral("この系統には停留所の位置がないため、位置では送れません。"));
            return;
        }
        startSource();
    }
    m_timer.start();
    tick();
}

void frmAutoStep::startSource()
{
    using End = follow::NmeaSource::End;
    m_sourceStatus = QStringLiteral("位置を待っています");
    m_source = std::make_unique<follow::NmeaSource>();
    connect(m_source.get(), &follow::NmeaSource::fixed, this, [this](double lat, double lon) { feedPosition(lat, lon); });
    const bool gpsd = cboSource->currentIndex() == 1;
    connect(m_source.get(), &follow::NmeaSource::ended, this, [this, gpsd](End why, const QString &detail) {
        const QString input = gpsd ? QStringLiteral("gpsd からの入力") : QStringLiteral("NMEAログ");
        switch (why) {
        case End::CannotOpen:
            m_sourceStatus = QStringLiteral("NMEAログを開けません: %1").arg(detail);
            break;
        case End::TooLarge:
            m_sourceStatus = QStringLiteral("NMEAログが大きすぎるため使えません（%1 MB まで）: %2")
                                 .arg(follow::NmeaSource::kMaxLogBytes >> 20)
                                 .arg(detail);
            break;
        case End::ReadFailed:
            m_sourceStatus = QStringLiteral("NMEAログを読み込めません: %1").arg(detail);
            break;
        case End::NotNmea:
            m_sourceStatus = QStringLiteral("%1は使えません。NMEA の文が届きません（改行のない長い行か、NMEA ではないデータです）")
                                 .arg(input);
            break;
        case End::NoPosition:
            m_sourceStatus = QStringLiteral("NMEAログに位置の記録がありません");
            break;
        case End::LogEnded:
            m_sourceStatus = QStringLiteral("位置の入力が終わりました");
            break;
        case End::Refused:
            m_sourceStatus = QStringLiteral("gpsd に接続できません（%1）").arg(detail);
            break;
        case End::Disconnected:
            m_sourceStatus = QStringLiteral("gpsd が接続を切りました");
            break;
        }
        showPosition();
    });
    if (gpsd) {
        const int port = txtSource->text().trimmed().toInt();
        m_source->watchGpsd(QStringLiteral("127.0.0.1"), quint16(port > 0 && port < 65536 ? port : 2947));
        return;
    }
    // No log named: the route's own recorded drive beside its stops, if any.
    QString log = txtSource->text().trimmed();
    if (log.isEmpty())
        log = platform::findFile(platform::withSeparator(options::read::fareDataDir()) + m_routeKey
                                 + QStringLiteral(".nmea"));
    m_source->playLog(log); // a recorded drive plays at its own pace
}

void frmAutoStep::feedPosition(double lat, double lon)
{
    m_fixes.append({lat, lon});
    if (m_fixes.size() > 600)
        m_fixes.removeFirst(); // a source far ahead of us keeps its latest ten minutes
    m_sourceStatus = QStringLiteral("測位 %1, %2").arg(lat, 0, 'f', 6).arg(lon, 0, 'f', 6);
}

void frmAutoStep::apply(const QList<follow::Event> &events, int indexBefore)
{
    frmCtl &console = windows::frmCtl();
    const fare::RouteState &route = console.ride().route();
    int target = indexBefore;
    // Our own moves are not a hand's.
    const QScopedValueRollback applying(m_applying, true);
    for (follow::Event e : events) {
        if (e == follow::Event::Announce) {
            if (console.TapeEnabled && console.cmdTapeNext->isEnabled())
                console.cmdTapeNext_Click(); // as "送り": it may step by its line's flag
        } else {
            ++target;
            if (route.CurIndex < target)
                console.Command2_Click(1); // as "データ送り"
        }
    }
    m_expected = route.CurIndex;
}

void frmAutoStep::rideMoved()
{
    if (m_applying || (!m_timetable && !m_position))
        return;
    const fare::RouteState &route = windows::frmCtl().ride().route();
    // Another route loaded: its own stops.
    if (fare::routeKey(route.RouteNo) != m_routeKey) {
        start();
        return;
    }
    // Stepped by hand: the hand wins, the follower follows.
    if (route.CurIndex != m_expected) {
        m_expected = route.CurIndex;
        if (m_position)
            m_position->rebase(m_expected);
        if (m_timetable) {
            m_timetable->rebase(m_expected);
            m_clock.start(m_timetable->startSec(m_expected), m_real.elapsed(), spnSpeed->value());
        }
    }
}

void frmAutoStep::tick()
{
    // Nothing runs in the middle of a wait that holds input back (a sound
    // played to its end, the lamp test) or under a modal box.
    if (inputhold::held() || QApplication::activeModalWidget())
        return;
    const qint64 now = m_real.elapsed();
    if (m_timetable) {
        if (chkPause->isChecked())
            return;
        const double t = m_clock.at(now);
        lblClock->setText(clockText(t));
        const int before = m_timetable->current();
        apply(m_timetable->onTime(t), before);
        const int next = m_timetable->nextEventSec();
        lblStatus->setText(next < 0 ? QStringLiteral("時刻表：終点です")
                                    : QStringLiteral("時刻表 ×%1：次は %2").arg(spnSpeed->value()).arg(clockText(next)));
    } else if (m_position) {
        const QList<QPair<double, double>> fixes = std::exchange(m_fixes, {});
        for (const auto &[lat, lon] : fixes) {
            const int before = m_position->current();
            apply(m_position->onFix(lat, lon), before);
        }
        showPosition();
    }
}

void frmAutoStep::showPosition()
{
    if (!m_position)
        return;
    const double d = m_position->distanceToNextM();
    lblStatus->setText(QStringLiteral("位置（%1）：%2%3")
                           .arg(cboSource->currentText(), m_sourceStatus,
                                d >= 0 ? QStringLiteral("、次の停留所まで %1 m").arg(qRound(d)) : QString()));
}
