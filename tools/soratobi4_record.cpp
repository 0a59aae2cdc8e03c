// Renders a ride straight to a video file: the route loaded as the console
// loads it, driven by a script on a clock of the recording's own, each frame
// the panel as it draws itself at that moment.
//   soratobi4-record --route 12 --section 1 --script ride.txt --scale 2 --out ride.mp4
#include "assets/AssetFonts.h"
#include "console/frmCtl.h"
#include "ride/FareData.h"
#include "forms/Values.h"
#include "forms/Windows.h"
#include "options/OptionReads.h"
#include "panel/ChimeiCtl_A/ChimeiCtl_A.h"
#include "panel/Form1.h"
#include "platform/Fonts.h"
#include "platform/HeapUse.h"
#include "platform/MsgBox.h"
#include "platform/Paths.h"
#include "platform/speech/SpeechEngine.h"
#include "core/FileIo.h"
#include "core/VbError.h"
#include "follow/StopsFile.h"
#include "settings/mdlIniIo.h"
#include "sound/mdlM_Tape.h"
#include "sound/mdlSndAPI.h"
#include "tools/Snapshot.h"
#include "tools/record/Drive.h"
#include "tools/record/Encoder.h"
#include "tools/record/Frame.h"
#include "tools/record/Script.h"
#include "tools/record/SoundTrack.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPainter>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTime>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>

namespace {

// How long the lamp test burns after a load, as the console lets it.
constexpr qint64 kLampMs = 3000;
// The recording runs on after the last action, so its sound is heard out.
constexpr qint64 kTailMs = 3000;
// A drive of a day at one fix a second is a few megabytes.
constexpr qint64 kMaxNmeaBytes = qint64(64) << 20;

volatile std::sig_atomic_t g_interrupted = 0;
void onSignal(int) { g_interrupted = 1; }

// What a recording under way must take away with it when it fails: its
// temporary files.
std::function<void()> g_cleanup;

[[noreturn]] void die(const QString &text, int code = 1)
{
    if (g_cleanup)
        g_cleanup();
    std::fprintf(stderr, "soratobi4-record: %s\n", text.toLocal8Bit().constData());
    std::exit(code);
}

// The announcements said into the sound track at the recording's clock,
// through the same synthesiser, instead of to the speakers.
class OfflineSpeech : public speech::Engine {
public:
    explicit OfflineSpeech(record::SoundTrack &track) : m_track(track) {}
    void Speak(const QString &text) override
    {
        std::vector<qint16> mono;
        int rate = 0;
        m_failed = !speech::synthesise(text, mono, rate);
        if (!m_failed)
            m_track.speak(mono, rate);
    }
    void Stop() override { m_track.stopSpeech(); }
    int Status() override { return m_failed ? kFailed : kIdle; }
    void ShowVoiceDialog(QWidget *, const QString &) override {}

private:
    record::SoundTrack &m_track;
    bool m_failed = false;
};

// The sound track as a 16-bit stereo WAV, its lengths filled in at the end.
class WavFile {
public:
    bool open(const QString &path)
    {
        m_file.setFileName(path);
        if (!m_file.open(QIODevice::WriteOnly))
            return false;
        return m_file.write(QByteArray(44, '\0')) == 44;
    }
    bool add(const qint16 *stereo, int frames)
    {
        const qint64 bytes = qint64(frames) * 4;
        m_data += bytes;
        return m_file.write(reinterpret_cast<const char *>(stereo), bytes) == bytes;
    }
    void cancel()
    {
        if (m_file.isOpen()) {
            m_file.cancelWriting();
            m_file.commit(); // with the writing cancelled: the temporary file removed, the target untouched
        }
    }
    bool finish(int rate)
    {
        QByteArray h("RIFF");
        const auto put = [&h](quint32 v, int n) {
            for (int i = 0; i < n; ++i)
                h.append(char(v >> (8 * i) & 0xFF));
        };
        put(quint32(36 + m_data), 4);
        h += "WAVEfmt ";
        put(16, 4), put(1, 2), put(2, 2), put(quint32(rate), 4), put(quint32(rate) * 4, 4), put(4, 2), put(16, 2);
        h += "data";
        put(quint32(m_data), 4);
        return m_data < 0xFFFFFF00LL && m_file.seek(0) && m_file.write(h) == 44 && m_file.commit();
    }

private:
    QSaveFile m_file;
    qint64 m_data = 0;
};

struct Options {
    const QCommandLineOption route{QStringList{QStringLiteral("route")}, QStringLiteral("route number"), QStringLiteral("N")};
    const QCommandLineOption section{QStringList{QStringLiteral("section")}, QStringLiteral("start section (1)"),
                                     QStringLiteral("S"), QStringLiteral("1")};
    const QCommandLineOption settings{QStringList{QStringLiteral("settings")}, QStringLiteral("settings file (the simulator's own)"),
                                      QStringLiteral("FILE")};
    const QCommandLineOption script{QStringList{QStringLiteral("script")}, QStringLiteral("seconds,action lines: step, back, say, "
                                                                               "clear on|off, night on|off, backlight N"),
                                    QStringLiteral("FILE")};
    const QCommandLineOption timetable{QStringList{QStringLiteral("timetable")},
                                       QStringLiteral("ride by the stops file's times (<route>.stops.csv)")};
    const QCommandLineOption speed{QStringList{QStringLiteral("speed")}, QStringLiteral("timetable speed 1..60 (1)"),
                                   QStringLiteral("N"), QStringLiteral("1")};
    const QCommandLineOption nmea{QStringList{QStringLiteral("nmea")},
                                  QStringLiteral("ride a recorded NMEA drive at its own pace"), QStringLiteral("FILE")};
    const QCommandLineOption scale{QStringList{QStringLiteral("scale")}, QStringLiteral("whole-number scale 1..4 (1)"),
                                   QStringLiteral("K"), QStringLiteral("1")};
    const QCommandLineOption screen{QStringList{QStringLiteral("screen")}, QStringLiteral("1920x1080 or 3840x2160: the board "
                                                                               "centred on black"),
                                    QStringLiteral("WxH")};
    const QCommandLineOption fps{QStringList{QStringLiteral("fps")}, QStringLiteral("30 or 60 (30)"), QStringLiteral("N"),
                                 QStringLiteral("30")};
    const QCommandLineOption out{QStringList{QStringLiteral("out")}, QStringLiteral("the MP4 file"), QStringLiteral("FILE")};
    const QCommandLineOption pngDir{QStringList{QStringLiteral("png-dir")}, QStringLiteral("also each frame as a PNG"),
                                    QStringLiteral("DIR")};
    const QCommandLineOption wav{QStringList{QStringLiteral("wav")}, QStringLiteral("also the sound track as a WAV file"),
                                 QStringLiteral("FILE")};
    const QCommandLineOption chapters{QStringList{QStringLiteral("chapters")},
                                      QStringLiteral("also a list of the moments each stop is shown "
                                                     "(h:mm:ss.mmm, row, name), for a video's chapters"),
                                      QStringLiteral("FILE")};
    const QCommandLineOption quiet{QStringList{QStringLiteral("quiet")}, QStringLiteral("no progress line")};
};

void addOptions(QCommandLineParser &cl, const Options &o)
{
    cl.setApplicationDescription(QStringLiteral("Records a ride of the fare board to an MP4 file (H.264 video, AAC sound).\n"
                                                "Actions that fall in the 3 s lamp test after the load wait for its end."));
    cl.addHelpOption();
    cl.addOptions({o.route, o.section, o.settings, o.script, o.timetable, o.speed, o.nmea, o.scale, o.screen, o.fps, o.out, o.pngDir, o.wav, o.chapters, o.quiet});
}

QString defaultSettings()
{
    // The simulator's own file: beside it, else the user's copy.
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("427.in4"));
    const QString own = QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation))
                            .filePath(QStringLiteral("427.in4"));
    return QFileInfo::exists(own) && !QFileInfo(QCoreApplication::applicationDirPath()).isWritable() ? own : beside;
}

} // namespace

int main(int argc, char **argv)
{
    // A command: it draws off screen unless told otherwise.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Nothing is played aloud: the sound goes into the file.
    if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER"))
        qputenv("SDL_AUDIODRIVER", "dummy");
    // The off-screen platform's notes on what it cannot do are noise here.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    });
    // --help needs no display: answered before the windows' application exists.
    for (int i = 1; i < argc; ++i)
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h") || !std::strcmp(argv[i], "--help-all")) {
            QCoreApplication help(argc, argv);
            QCommandLineParser cl;
            const Options o;
            addOptions(cl, o);
            cl.process(help);
            cl.showHelp(0);
        }
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Soratobi4"));

    QCommandLineParser cl;
    const Options o;
    addOptions(cl, o);
    cl.process(app);

    if (!cl.isSet(o.route) || !cl.isSet(o.out) || int(cl.isSet(o.script)) + cl.isSet(o.timetable) + cl.isSet(o.nmea) != 1)
        die(QStringLiteral("--route, --out and one of --script, --timetable, --nmea are needed (see --help)"), 2);
    bool ok = false;
    const double rideSpeed = cl.value(o.speed).toDouble(&ok);
    if (!ok || rideSpeed < 1 || rideSpeed > 60)
        die(QStringLiteral("--speed is 1..60"), 2);
    record::Picture pic;
    pic.scale = cl.value(o.scale).toInt(&ok);
    if (!ok || pic.scale < 1 || pic.scale > 4)
        die(QStringLiteral("--scale is a whole number 1..4"), 2);
    if (cl.isSet(o.screen)) {
        const QString s = cl.value(o.screen);
        if (s == u"1920x1080")
            pic.screen = {1920, 1080};
        else if (s == u"3840x2160")
            pic.screen = {3840, 2160};
        else
            die(QStringLiteral("--screen is 1920x1080 or 3840x2160"), 2);
    }
    const int rate = cl.value(o.fps).toInt();
    if (rate != 30 && rate != 60)
        die(QStringLiteral("--fps is 30 or 60"), 2);

    record::Script ride;
    if (cl.isSet(o.script)) {
        QFile scriptFile(cl.value(o.script));
        if (!scriptFile.open(QIODevice::ReadOnly))
            die(QStringLiteral("the script cannot be read: %1").arg(cl.value(o.script)));
        ride = record::parseScript(scriptFile.read(record::kMaxScriptBytes + 1));
        if (!ride.error.isEmpty())
            die(QStringLiteral("%1: %2").arg(cl.value(o.script), ride.error));
    }
    QByteArray nmeaLog;
    if (cl.isSet(o.nmea)) {
        const fileio::Read r = fileio::readRegular(cl.value(o.nmea), kMaxNmeaBytes);
        if (r.error || r.bytes.size() > kMaxNmeaBytes)
            die(QStringLiteral("the drive cannot be read: %1").arg(cl.value(o.nmea)));
        nmeaLog = r.bytes;
    }

    const QString settingsFile = cl.isSet(o.settings) ? cl.value(o.settings) : defaultSettings();
    if (!QFileInfo(settingsFile).isFile())
        die(QStringLiteral("設定ファイルがありません: %1").arg(QDir::toNativeSeparators(settingsFile)));
    const QString pngFolder = cl.value(o.pngDir);
    if (!pngFolder.isEmpty() && !QDir().mkpath(pngFolder))
        die(QStringLiteral("保存先に書き込めません: %1").arg(QDir::toNativeSeparators(pngFolder)));

    platform::installFontSubstitutions();
    assets::registerDigitFonts();
    // A box the console would show is the recording's error.
    QString boxText;
    platform::setMsgBoxHandler([&boxText](const platform::MsgBoxRequest &r) {
        boxText = r.prompt;
        return int(platform::vbOK);
    });
    // The board's sounds go into the track at the recording's clock.
    record::SoundTrack track(record::kSampleRate);
    mdlSndAPI::setMciSender([&track](const QString &command) { return track.send(command); });
    mdlM_Tape::setEngineFactory([&track] { return std::make_unique<OfflineSpeech>(track); });
    mdlIniIo::setSettingsPath(settingsFile);

    Form1 &panel = windows::Form1();
    panel.show();
    // The strip scrolls by the recording's clock alone.
    qint64 now = 0;
    ChimeiCtl_A &strip = *panel.ChimeiCtl();
    strip.setClock([&now] { return int64_t(now); });
    bool changed = true;
    QObject::connect(&strip, &ChimeiCtl_A::pictureChanged, &panel, [&changed] { changed = true; });
    frmCtl &console = windows::frmCtl();
    console.show();
    frmCtl::lampTestMs = 0;
    panel.Timer1()->stop(); // the clock digits would show the day it was recorded

    // The load as the console runs it, the lamp test on the recording's clock.
    const QString routeNo = cl.value(o.route), sectionDigits = cl.value(o.section);
    mdlSndAPI::SndPlay(options::read::soundKeitoSet(), QStringLiteral("S1"), 0, 0);
    mdlM_Tape::LoadTape(platform::withSeparator(options::read::tapeDataDir()), fare::routeKey(routeNo));
    const ride::LoadResult loaded =
        console.ride().load(routeNo, sectionDigits, platform::withSeparator(options::read::fareDataDir()));
    if (!loaded.ok)
        die(QStringLiteral("系統 %1 区間 %2: %3").arg(routeNo, sectionDigits, QString(loaded.message).replace(QStringLiteral("\r\n"), QStringLiteral(" "))));

    // A drive starts where the load put the ride, once the lamps are out.
    std::unique_ptr<record::Drive> drive;
    if (!cl.isSet(o.script)) {
        QString why;
        try {
            const QString key = fare::routeKey(routeNo);
            const QString path = platform::findFile(platform::withSeparator(options::read::fareDataDir()) + key
                                                    + QStringLiteral(".stops.csv"));
            if (path.isEmpty())
                die(QStringLiteral("系統%1の停留所の位置と時刻（%1.stops.csv）がありません。").arg(key));
            const fileio::Read r = fileio::readRegular(path, 4 << 20);
            if (r.error)
                vb::raise(r.error);
            const QList<follow::Stop> stops = follow::readStopsFile(r.bytes);
            const int current = console.ride().route().CurIndex;
            drive = cl.isSet(o.timetable) ? record::Drive::timetable(stops, current, rideSpeed, &why)
                                          : record::Drive::nmea(stops, current, nmeaLog, &why);
        } catch (...) {
            why = vb::currentError().description();
        }
        if (!drive)
            die(why);
    }
    const qint64 lastMs = drive ? kLampMs + drive->lengthMs() : ride.actions.isEmpty() ? 0 : ride.actions.last().ms;
    const qint64 endMs = std::max(lastMs, kLampMs) + kTailMs;
    const qint64 frames = endMs * rate / 1000;
    const QSize size = record::compose(snapshot::shot(panel), pic).size();
    record::Encoder encoder;
    if (!encoder.open(cl.value(o.out), size, rate, true))
        die(encoder.error());
    WavFile wavFile;
    if (cl.isSet(o.wav) && !wavFile.open(cl.value(o.wav)))
        die(QStringLiteral("保存先に書き込めません: %1").arg(QDir::toNativeSeparators(cl.value(o.wav))));
    std::vector<qint16> samples;
    g_cleanup = [&encoder, &wavFile] {
        encoder.abandon();
        wavFile.cancel();
    };
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    bool finished = false; // the lamp test is over
    // Each stop as the board shows it, at the frame it is shown.
    QByteArray stopList;
    QObject::connect(&console.ride(), &ride::Ride::positionChanged, &panel, [&](const QString &, int row) {
        if (!finished || row <= 0)
            return;
        stopList += QTime::fromMSecsSinceStartOfDay(int(now)).toString(QStringLiteral("H:mm:ss.zzz")).toUtf8() + '\t'
                    + QByteArray::number(row) + '\t' + console.ride().current().StopName.toUtf8() + '\n';
    });
    QElapsedTimer wall;
    wall.start();
    qsizetype next = 0;
    QImage frame;
    const bool progress = !cl.isSet(o.quiet);
    for (qint64 n = 0; n < frames; ++n) {
        if (g_interrupted) {
            die(QStringLiteral("interrupted; nothing written"), 130);
        }
        now = n * 1000 / rate;
        if (!finished && now >= kLampMs) {
            finished = true;
            console.ride().finishLoad(options::read::seiriDateAuto() || options::read::seiriDateKeep()
                                          ? QDate::currentDate().toString(QStringLiteral("MM-dd-yyyy"))
                                          : options::read::seiriFixedDate());
            changed = true;
        }
        // The console is deaf while the lamps burn: what falls in that time waits.
        while (finished && next < ride.actions.size() && ride.actions[next].ms <= now) {
            const record::Action &a = ride.actions[next++];
            switch (a.kind) {
            case record::Action::Kind::Step: console.Command2_Click(1); break;
            case record::Action::Kind::Back: console.Command2_Click(0); break;
            case record::Action::Kind::Say: console.cmdTapeNext_Click(); break;
            case record::Action::Kind::Clear: forms::setCheckValue(*console.Check1, a.value); break;
            case record::Action::Kind::Night: forms::setCheckValue(*console.Check2, a.value); break;
            case record::Action::Kind::Backlight: console.Option4(a.value)->setChecked(true); break;
            }
            changed = true;
        }
        if (finished && drive) {
            // As 自動送り applies its events: a stop reached steps only
            // where the announcement's own flag has not stepped already
            // (counted from the drive's stop, not the board's).
            const int before = drive->current();
            int target = before;
            for (follow::Event e : drive->at(now - kLampMs)) {
                if (e == follow::Event::Announce) {
                    if (console.TapeEnabled && console.cmdTapeNext->isEnabled())
                        console.cmdTapeNext_Click();
                } else if (console.ride().route().CurIndex < ++target) {
                    console.Command2_Click(1);
                }
                changed = true;
            }
        }
        strip.advanceScroll();
        const bool fresh = changed || frame.isNull();
        if (fresh) {
            frame = record::compose(snapshot::shot(panel), pic);
            changed = false;
        }
        if (!pngFolder.isEmpty() &&
            !frame.save(QDir(pngFolder).filePath(QStringLiteral("frame-%1.png").arg(n, 6, 10, QLatin1Char('0')))))
            die(QStringLiteral("保存先に書き込めません: %1").arg(QDir::toNativeSeparators(pngFolder)));
        if (!(fresh ? encoder.addFrame(frame) : encoder.repeatFrame()))
            die(encoder.error());
        // The sound up to the next frame: what started now starts at this frame.
        const int count = int((n + 1) * record::kSampleRate / rate - track.position());
        samples.resize(size_t(count) * 2);
        track.render(samples.data(), count);
        if (!encoder.addSamples(samples.data(), count))
            die(encoder.error());
        if (cl.isSet(o.wav) && !wavFile.add(samples.data(), count))
            die(QStringLiteral("保存先に書き込めません: %1").arg(QDir::toNativeSeparators(cl.value(o.wav))));
        if (progress && (n % rate == 0 || n + 1 == frames))
            std::fprintf(stderr, "\r%5.1f / %.1f s  (%lld%%)", double(now) / 1000, double(endMs) / 1000,
                         (long long)((n + 1) * 100 / frames));
    }
    if (cl.isSet(o.wav) && !wavFile.finish(record::kSampleRate))
        die(QStringLiteral("保存先に書き込めません: %1").arg(QDir::toNativeSeparators(cl.value(o.wav))));
    if (cl.isSet(o.chapters)) {
        QSaveFile list(cl.value(o.chapters));
        if (!list.open(QIODevice::WriteOnly) || list.write(stopList) != stopList.size() || !list.commit())
            die(QStringLiteral("保存先に書き込めません: %1").arg(QDir::toNativeSeparators(cl.value(o.chapters))));
    }
    if (!encoder.finish())
        die(encoder.error());
    if (progress) {
        const double took = double(wall.elapsed()) / 1000;
        std::fprintf(stderr, "\nwritten %s: %.1f s in %.1f s (%.2fx real time), peak memory %lld MB\n",
                     QDir::toNativeSeparators(cl.value(o.out)).toLocal8Bit().constData(), double(endMs) / 1000, took,
                     took > 0 ? double(endMs) / 1000 / took : 0.0, (long long)(platform::peakResident() >> 20));
    }
    if (!boxText.isEmpty())
        std::fprintf(stderr, "soratobi4-record: the console said: %s\n", boxText.toLocal8Bit().constData());
    return 0;
}
