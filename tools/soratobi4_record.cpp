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
#include "platform/MsgBox.h"
#include "platform/Paths.h"
#include "settings/mdlIniIo.h"
#include "sound/mdlM_Tape.h"
#include "sound/mdlSndAPI.h"
#include "tools/Snapshot.h"
#include "tools/record/Encoder.h"
#include "tools/record/Script.h"
#include "tools/record/SoundTrack.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QSaveFile>
#include <QStandardPaths>
#include <csignal>
#include <cstdio>

namespace {

// How long the lamp test burns after a load, as the console lets it.
constexpr qint64 kLampMs = 3000;
// The recording runs on after the last action, so its sound is heard out.
constexpr qint64 kTailMs = 3000;

volatile std::sig_atomic_t g_interrupted = 0;
void onSignal(int) { g_interrupted = 1; }

[[noreturn]] void die(const QString &text, int code = 1)
{
    std::fprintf(stderr, "soratobi4-record: %s\n", text.toLocal8Bit().constData());
    std::exit(code);
}

struct Picture {
    int scale = 1;
    QSize screen; // empty: the panel alone
};

// The panel's grab at the chosen size: each pixel a square of scale x scale,
// outside the board's round shape black, centred on a screen when one is given.
QImage compose(const QImage &grab, const Picture &pic)
{
    const QSize board = grab.size() * pic.scale;
    QImage out(pic.screen.isEmpty() ? board : pic.screen, QImage::Format_RGB32);
    out.fill(Qt::black);
    QPainter p(&out);
    const QPoint at((out.width() - board.width()) / 2, (out.height() - board.height()) / 2);
    p.drawImage(at, pic.scale == 1 ? grab : grab.scaled(board, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    return out;
}

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
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Soratobi4"));

    QCommandLineParser cl;
    cl.setApplicationDescription(QStringLiteral("Records a ride of the fare board to an MP4 file (H.264, AAC)."));
    cl.addHelpOption();
    const QCommandLineOption route({QStringLiteral("route")}, QStringLiteral("route number"), QStringLiteral("N"));
    const QCommandLineOption section({QStringLiteral("section")}, QStringLiteral("start section (1)"),
                                     QStringLiteral("S"), QStringLiteral("1"));
    const QCommandLineOption settings({QStringLiteral("settings")}, QStringLiteral("settings file (the simulator's own)"),
                                      QStringLiteral("FILE"));
    const QCommandLineOption script({QStringLiteral("script")}, QStringLiteral("seconds,action lines: step, back, say, "
                                                                               "clear on|off, night on|off, backlight N"),
                                    QStringLiteral("FILE"));
    const QCommandLineOption scale({QStringLiteral("scale")}, QStringLiteral("whole-number scale 1..4 (1)"),
                                   QStringLiteral("K"), QStringLiteral("1"));
    const QCommandLineOption screen({QStringLiteral("screen")}, QStringLiteral("1920x1080 or 3840x2160: the board "
                                                                               "centred on black"),
                                    QStringLiteral("WxH"));
    const QCommandLineOption fps({QStringLiteral("fps")}, QStringLiteral("30 or 60 (30)"), QStringLiteral("N"),
                                 QStringLiteral("30"));
    const QCommandLineOption out({QStringLiteral("out")}, QStringLiteral("the MP4 file"), QStringLiteral("FILE"));
    const QCommandLineOption pngDir({QStringLiteral("png-dir")}, QStringLiteral("also each frame as a PNG"),
                                    QStringLiteral("DIR"));
    const QCommandLineOption wav({QStringLiteral("wav")}, QStringLiteral("also the sound track as a WAV file"),
                                 QStringLiteral("FILE"));
    const QCommandLineOption quiet({QStringLiteral("quiet")}, QStringLiteral("no progress line"));
    cl.addOptions({route, section, settings, script, scale, screen, fps, out, pngDir, wav, quiet});
    cl.process(app);

    if (!cl.isSet(route) || !cl.isSet(out) || !cl.isSet(script))
        die(QStringLiteral("--route, --script and --out are needed (see --help)"), 2);
    Picture pic;
    bool ok = false;
    pic.scale = cl.value(scale).toInt(&ok);
    if (!ok || pic.scale < 1 || pic.scale > 4)
        die(QStringLiteral("--scale is a whole number 1..4"), 2);
    if (cl.isSet(screen)) {
        const QString s = cl.value(screen);
        if (s == u"1920x1080")
            pic.screen = {1920, 1080};
        else if (s == u"3840x2160")
            pic.screen = {3840, 2160};
        else
            die(QStringLiteral("--screen is 1920x1080 or 3840x2160"), 2);
    }
    const int rate = cl.value(fps).toInt();
    if (rate != 30 && rate != 60)
        die(QStringLiteral("--fps is 30 or 60"), 2);

    QFile scriptFile(cl.value(script));
    if (!scriptFile.open(QIODevice::ReadOnly))
        die(QStringLiteral("the script cannot be read: %1").arg(cl.value(script)));
    const record::Script ride = record::parseScript(scriptFile.read(record::kMaxScriptBytes + 1));
    if (!ride.error.isEmpty())
        die(QStringLiteral("%1: %2").arg(cl.value(script), ride.error));

    const QString settingsFile = cl.isSet(settings) ? cl.value(settings) : defaultSettings();
    if (!QFileInfo(settingsFile).isFile())
        die(QStringLiteral("設定ファイルがありません: %1").arg(QDir::toNativeSeparators(settingsFile)));
    const QString pngFolder = cl.value(pngDir);
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
    const QString routeNo = cl.value(route), sectionDigits = cl.value(section);
    mdlSndAPI::SndPlay(options::read::soundKeitoSet(), QStringLiteral("S1"), 0, 0);
    mdlM_Tape::LoadTape(platform::withSeparator(options::read::tapeDataDir()), fare::routeKey(routeNo));
    const ride::LoadResult loaded =
        console.ride().load(routeNo, sectionDigits, platform::withSeparator(options::read::fareDataDir()));
    if (!loaded.ok)
        die(QStringLiteral("系統 %1 区間 %2: %3").arg(routeNo, sectionDigits, QString(loaded.message).replace(QStringLiteral("\r\n"), QStringLiteral(" "))));

    const qint64 endMs = std::max(ride.actions.isEmpty() ? 0 : ride.actions.last().ms, kLampMs) + kTailMs;
    const qint64 frames = endMs * rate / 1000;
    const QSize size = compose(snapshot::shot(panel), pic).size();
    record::Encoder encoder;
    if (!encoder.open(cl.value(out), size, rate, true))
        die(encoder.error());
    WavFile wavFile;
    if (cl.isSet(wav) && !wavFile.open(cl.value(wav)))
        die(QStringLiteral("保存先に書き込めません: %1").arg(QDir::toNativeSeparators(cl.value(wav))));
    std::vector<qint16> samples;
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    bool finished = false; // the lamp test is over
    qsizetype next = 0;
    QImage frame;
    const bool progress = !cl.isSet(quiet);
    for (qint64 n = 0; n < frames; ++n) {
        if (g_interrupted) {
            encoder.abandon(); // the WAV's temporary file goes with its QSaveFile
            die(QStringLiteral("interrupted; nothing written"), 130);
        }
        now = n * 1000 / rate;
        if (!finished && now >= kLampMs) {
            console.ride().finishLoad(options::read::seiriDateAuto() || options::read::seiriDateKeep()
                                          ? QDate::currentDate().toString(QStringLiteral("MM-dd-yyyy"))
                                          : options::read::seiriFixedDate());
            finished = true;
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
        strip.advanceScroll();
        if (changed || frame.isNull()) {
            frame = compose(snapshot::shot(panel), pic);
            changed = false;
        }
        if (!pngFolder.isEmpty() &&
            !frame.save(QDir(pngFolder).filePath(QStringLiteral("frame-%1.png").arg(n, 6, 10, QLatin1Char('0')))))
            die(QStringLiteral("保存先に書き込めません: %1").arg(QDir::toNativeSeparators(pngFolder)));
        if (!encoder.addFrame(frame))
            die(encoder.error());
        // The sound up to the next frame: what started now starts at this frame.
        const int count = int((n + 1) * record::kSampleRate / rate - track.position());
        samples.resize(size_t(count) * 2);
        track.render(samples.data(), count);
        if (!encoder.addSamples(samples.data(), count))
            die(encoder.error());
        if (cl.isSet(wav) && !wavFile.add(samples.data(), count))
            die(QStringLiteral("保存先に書き込めません: %1").arg(QDir::toNativeSeparators(cl.value(wav))));
        if (progress && (n % rate == 0 || n + 1 == frames))
            std::fprintf(stderr, "\r%5.1f / %.1f s  (%lld%%)", double(now) / 1000, double(endMs) / 1000,
                         (long long)((n + 1) * 100 / frames));
    }
    if (cl.isSet(wav) && !wavFile.finish(record::kSampleRate))
        die(QStringLiteral("保存先に書き込めません: %1").arg(QDir::toNativeSeparators(cl.value(wav))));
    if (!encoder.finish())
        die(encoder.error());
    if (progress)
        std::fprintf(stderr, "\n");
    if (!boxText.isEmpty())
        std::fprintf(stderr, "soratobi4-record: the console said: %s\n", boxText.toLocal8Bit().constData());
    return 0;
}
