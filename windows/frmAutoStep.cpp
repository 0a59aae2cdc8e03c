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
#include "sound/mdlM_Tape.h"
#include "sound/mdlSndAPI.h"

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
#include <QPointer>
#include <QScopedValueRollback>
#include <QSignalBlocker>
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
    layout->setSizeConstraint(QLayout::SetMinimumSize); // never smaller than its rows need
    auto *modes = new QGroupBox(QStringLiteral("送り方"), this);
    auto *mv = new QVBoxLayout(modes);
    auto *ml = new QHBoxLayout;
    optOff = new QRadioButton(QStringLiteral("切（手動）"), modes);
    optTimetable = new QRadioButton(QStringLiteral("時刻表"), modes);
    optPosition = new QRadioButton(QStringLiteral("位置（GPS）"), modes);
    for (QRadioButton *b : {optOff, optTimetable, optPosition})
        ml->addWidget(b);
    optOff->setChecked(true);
    mv->addLayout(ml);
    auto *sl = new QHBoxLayout;
    spnSpeed = new QSpinBox(modes);
    spnSpeed->setRange(1, 60);
    spnSpeed->setPrefix(QStringLiteral("×"));
    spnSpeed->setAccessibleName(QStringLiteral("spnSpeed"));
    sl->addWidget(new QLabel(QStringLiteral("速さ："), modes));
    sl->addWidget(spnSpeed);
    sl->addWidget(new QLabel(QStringLiteral("（時刻表と記録したNMEAログ）"), modes));
    sl->addStretch();
    mv->addLayout(sl);
    layout->addWidget(modes);

    auto *tt = new QGroupBox(QStringLiteral("時刻表"), this);
    auto *tl = new QFormLayout(tt);
    cboTrip = new QComboBox(tt);
    cboTrip->setAccessibleName(QStringLiteral("cboTrip"));
    cboTrip->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    tl->addRow(QStringLiteral("便："), cboTrip);
    lblClock = new QLabel(QStringLiteral("--:--:--"), tt);
    lblClock->setAccessibleName(QStringLiteral("lblClock"));
    tl->addRow(QStringLiteral("運行時刻："), lblClock);
    chkPause = new QCheckBox(QStringLiteral("一時停止"), tt);
    tl->addRow(chkPause);
    // Broken by hand and held at its height: a form squeezes a wrapped label.
    lblPacing = new QLabel(QStringLiteral("表示は時刻表どおりに進みます。\n次の停留所の時刻になっても続いている案内は\n"
                                          "打ち切り、遅れて間に合わない案内は飛ばします。"),
                           tt);
    lblPacing->setMinimumHeight(lblPacing->sizeHint().height());
    tl->addRow(lblPacing);
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
    m_cutTimer.setInterval(200);
    connect(&m_cutTimer, &QTimer::timeout, this, [this] {
        platform::guarded([this] {
            cutIfDue();
            if (m_cut || m_playing.isEmpty())
                m_cutTimer.stop();
            else if (const int ms = msToNext(); ms > 0)
                m_cutTimer.start(ms);
        });
    });
    for (QRadioButton *b : {optOff, optTimetable, optPosition})
        connect(b, &QRadioButton::toggled, this, [this](bool on) {
            if (on && !m_loading)
                platform::guarded([this] {
                    save();
                    start();
                });
        });
    connect(spnSpeed, &QSpinBox::valueChanged, this, [this](int v) {
        m_clock.setSpeed(v, now());
        if (m_source)
            m_source->setSpeed(v);
        if (!m_loading)
            save();
    });
    connect(chkPause, &QCheckBox::toggled, this, [this](bool paused) {
        if (paused)
            m_pausedAt = m_clock.at(now());
        else if (m_pausedAt >= 0)
            m_clock.start(m_pausedAt, now(), spnSpeed->value()); // the clock re-based where it stood
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
    connect(cboTrip, &QComboBox::activated, this, [this] {
        m_tripOfRoute.insert(m_routeKey, cboTrip->currentData().toString());
        save();
        if (mode() == Mode::Timetable)
            platform::guarded([this] { start(); });
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

void frmAutoStep::setClock(std::function<qint64()> nowMs)
{
    m_now = std::move(nowMs);
    if (mode() != Mode::Off)
        start();
}

qint64 frmAutoStep::now() const
{
    if (m_now)
        return m_now();
    return m_real.isValid() ? m_real.elapsed() : 0;
}

// Real milliseconds to the timetable's next event, 1 to 200 (so a hand
// step or a new speed is heard soon), or -1 with none to come.
int frmAutoStep::msToNext() const
{
    const int next = m_timetable ? m_timetable->nextEventSec() : -1;
    if (next < 0)
        return -1;
    return int(std::clamp((next - m_clock.at(now())) * 1000.0 / m_clock.speed() + 1, 1.0, 200.0));
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
        else if (key.startsWith(u"trip.") && key.size() > 5)
            m_tripOfRoute.insert(key.mid(5), value);
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
    for (auto it = m_tripOfRoute.cbegin(); it != m_tripOfRoute.cend(); ++it)
        if (!it.value().contains(u'\n') && !it.value().contains(u'\r'))
            text += QStringLiteral("trip.%1=%2\n").arg(it.key(), it.value());
    QDir().mkpath(QFileInfo(settingsFile()).absolutePath());
    // A preference that cannot be kept is no reason to stop the ride.
    fileio::writeWhole(settingsFile(), text.toUtf8());
}

QList<follow::Stop> frmAutoStep::stopsOfRoute(QString *why)
{
    m_trips.clear();
    const frmCtl &console = windows::frmCtl();
    if (console.ride().route().DataCount <= 0 || console.ride().route().RouteNo.isEmpty()) {
        *why = QStringLiteral("系統が読み込まれていません。「リセット」で系統を読み込んでください。");
        return {};
    }
    const QString key = fare::routeKey(console.ride().route().RouteNo);
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
        return follow::readStopsFile(r.bytes, &m_trips);
    } catch (...) {
        m_trips.clear();
        *why = QStringLiteral("%1 を読み込めません: %2").arg(path, vb::currentError().description());
        return {};
    }
}

// The day's trips of the route, by the time each leaves; the one chosen
// before, else the one the route was made from (the file's own times).
void frmAutoStep::fillTrips(const QList<follow::Stop> &stops)
{
    const QSignalBlocker quiet(cboTrip);
    cboTrip->clear();
    QString own;
    for (const follow::Trip &t : std::as_const(m_trips)) {
        bool same = t.arrivalSec.size() == stops.size();
        for (int i = 0; same && i < stops.size(); ++i)
            same = t.arrivalSec[i] == stops[i].arrivalSec && t.departureSec[i] == stops[i].departureSec;
        if (same && own.isEmpty())
            own = t.id;
        const int leaves = t.firstDepartureSec();
        cboTrip->addItem(QStringLiteral("%1発（%2）").arg(leaves < 0 ? QStringLiteral("--:--") : clockText(leaves).left(5), t.id), t.id);
    }
    if (m_trips.isEmpty())
        cboTrip->addItem(QStringLiteral("停留所ファイルの時刻"), QString());
    const int chosen = cboTrip->findData(m_tripOfRoute.value(m_routeKey, own));
    cboTrip->setCurrentIndex(std::max(0, chosen >= 0 ? chosen : cboTrip->findData(own)));
    cboTrip->setEnabled(cboTrip->count() > 1);
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
    const frmCtl &console = windows::frmCtl();
    m_expected = console.ride().route().CurIndex;
    m_routeKey = fare::routeKey(console.ride().route().RouteNo);
    m_real.start();
    m_stops = stops;
    fillTrips(stops);
    if (mode() == Mode::Timetable) {
        const QString trip = cboTrip->currentData().toString();
        const auto it = std::find_if(m_trips.cbegin(), m_trips.cend(), [&](const follow::Trip &t) { return t.id == trip; });
        m_timetable = std::make_unique<follow::TimetableFollower>(it == m_trips.cend() ? stops : follow::withTrip(stops, *it),
                                                                  m_expected);
        if (!m_timetable->usable()) {
            stop(QStringLiteral("この系統には便の時刻がないため、時刻表では送れません。"));
            return;
        }
        m_clock.start(m_timetable->startSec(m_expected), now(), spnSpeed->value());
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
    m_timer.start(200);
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
    m_source->playLog(log, spnSpeed->value()); // a recorded drive plays by its times, sped up
}

void frmAutoStep::feedPosition(double lat, double lon)
{
    // The bus at the next stop while its announcement still plays (a log
    // played fast): the announcement is cut, as by timetable.
    if (m_playing == u"S3" && !m_cut && m_position) {
        const int next = m_position->current() + 1;
        if (next < m_stops.size()
            && follow::distanceM(lat, lon, m_stops[next].lat, m_stops[next].lon) <= spnArrive->value())
            cut();
    }
    m_fixes.append({lat, lon});
    if (m_fixes.size() > 600)
        m_fixes.removeFirst(); // a source far ahead of us keeps its latest ten minutes
    m_sourceStatus = QStringLiteral("測位 %1, %2").arg(lat, 0, 'f', 6).arg(lon, 0, 'f', 6);
}

void frmAutoStep::apply(const QList<follow::Event> &events, int indexBefore)
{
    frmCtl &console = windows::frmCtl();
    int target = indexBefore;
    // Our own moves are not a hand's.
    const QScopedValueRollback applying(m_applying, true);
    for (follow::Event e : events) {
        if (e == follow::Event::Skipped) {
            // As "送り" with nothing said: the list stays with the stops.
            if (console.TapeEnabled && console.cmdTapeNext->isEnabled()) {
                mdlM_Tape::TapeSkip();
                if (mdlM_Tape::GetTapeStep(mdlM_Tape::GetTapePos()) == 1 && console.ride().route().CurIndex <= target)
                    play(QStringLiteral("S2"), [&] { console.Command2_Click(1); });
            }
        } else if (e == follow::Event::Announce) {
            if (console.TapeEnabled && console.cmdTapeNext->isEnabled()) {
                play(QStringLiteral("S3"), [&] { console.cmdTapeNext_Click(); }); // as "送り": it may step by its line's flag
                if (m_cut)
                    mdlM_Tape::TapeStop(); // its stop is due: the words after the cut chime go unsaid
            }
        } else {
            ++target;
            mdlM_Tape::TapeStop(); // the stop is reached: what is still said of it stops
            if (console.ride().route().CurIndex < target)
                play(QStringLiteral("S2"), [&] { console.Command2_Click(1); }); // as "データ送り"
        }
    }
    m_expected = console.ride().route().CurIndex;
}

// Inside our own chime or step sound, played to its end: the next event
// due ends it, and the wait with it, so the board keeps to the clock.
void frmAutoStep::cutIfDue()
{
    if (m_playing.isEmpty() || m_cut || !m_timetable || chkPause->isChecked())
        return;
    const int next = m_timetable->nextEventSec();
    if (next < 0 || m_clock.at(now()) < next)
        return;
    cut();
}

void frmAutoStep::cut()
{
    m_cut = true;
    ++m_cuts;
    mdlSndAPI::SndStop(m_playing);
    if (m_playing == u"S3")
        mdlSndAPI::SndStop(QStringLiteral("S2")); // the step its line makes, with its own sound
    mdlM_Tape::TapeStop();
}

// One of our own "送り" or "データ送り", its sound maybe played to its end:
// watched meanwhile, to be cut when the next event comes due.
void frmAutoStep::play(const QString &channel, const std::function<void()> &handler)
{
    m_playing = channel;
    m_cut = false;
    if (const int ms = msToNext(); ms > 0)
        m_cutTimer.start(ms);
    handler();
    m_cutTimer.stop();
    m_playing.clear();
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
            m_clock.start(m_timetable->startSec(m_expected), now(), spnSpeed->value());
        }
    }
}

void frmAutoStep::tick()
{
    // Nothing runs in the middle of a wait that holds input back (a sound
    // played to its end, the lamp test) or under a modal box.
    if (inputhold::held() || QApplication::activeModalWidget()) {
        cutIfDue();
        return;
    }
    const fare::RouteState &route = windows::frmCtl().ride().route();
    if (m_timetable) {
        if (chkPause->isChecked())
            return;
        // Until nothing more is due: an announcement cut short comes back
        // with its stop due.
        for (int round = 0; round <= 2 * fare::kRows; ++round) {
            const int before = m_timetable->current();
            const QList<follow::Event> events = m_timetable->onTime(m_clock.at(now()));
            if (events.isEmpty())
                break;
            apply(events, before);
            if (route.CurIndex != m_expected || fare::routeKey(route.RouteNo) != m_routeKey)
                return; // moved meanwhile by another hand: rideMoved follows it
        }
        lblClock->setText(clockText(m_clock.at(now())));
        const int next = m_timetable->nextEventSec();
        lblStatus->setText(next < 0 ? QStringLiteral("時刻表：終点です")
                                    : QStringLiteral("時刻表 ×%1：次は %2").arg(spnSpeed->value()).arg(clockText(next)));
        // Woken for the next event itself, so a stop is never a turn late.
        if (const int ms = msToNext(); ms > 0 && !m_now)
            m_timer.start(ms);
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
    const QString toStop = m_position->waiting() ? QStringLiteral("、手で送った停留所に着くのを待っています（あと %1 m）")
                                                 : QStringLiteral("、次の停留所まで %1 m");
    lblStatus->setText(QStringLiteral("位置（%1）：%2%3")
                           .arg(cboSource->currentText(), m_sourceStatus, d >= 0 ? toStop.arg(qRound(d)) : QString()));
}
