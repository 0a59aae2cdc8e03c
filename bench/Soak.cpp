#include "bench/Soak.h"

#include "assets/AssetFonts.h"
#include "console/frmCtl.h"
#include "core/Cp932.h"
#include "core/KXP4Res.h"
#include "forms/Values.h"
#include "forms/Windows.h"
#include "options/frmOption.h"
#include "panel/Form1.h"
#include "platform/Fonts.h"
#include "platform/MsgBox.h"
#include "platform/mci/Mci.h"
#include "ride/FareData.h"
#include "settings/mdlIniIo.h"
#include "sound/mdlM_Tape.h"
#include "sound/mdlSndAPI.h"
#include "tests/SoundFixtures.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <vector>

namespace soak {

namespace {

constexpr int kStops = 301;

// Names long enough that every one of them scrolls in the strip.
QString stopName(int i)
{
    return QStringLiteral("国際交流センター駅前北口バスターミナル第%1番のりば").arg(i);
}

QByteArray fareFile()
{
    QList<fare::FareRecord> records;
    for (int i = 1; i <= kStops; ++i) {
        fare::FareRecord r;
        r.StopName = stopName(i);
        r.SeiriNo = int16_t(1 + (i - 1) % 60);
        for (int c = 1; c <= 150; ++c)
            r.Fare[size_t(c - 1)] = int16_t(c == 150 ? 1 + i % 3 : 170 + 10 * ((i + c) % 90));
        records.append(r);
    }
    return fare::writeFareFile(records);
}

// One announcement a stop, each stepping the fares and with its sound.
QByteArray tapeFile()
{
    QByteArray b;
    for (int i = 1; i <= kStops; ++i)
        b += cp932::encode(QStringLiteral("次は、%1です。お降りの方はボタンでお知らせください。,1,%2\r\n")
                               .arg(stopName(i))
                               .arg(1 + i % 3));
    return b;
}

// Takes the texts and says nothing: the ride measures the program, not a
// speech synthesiser.
class QuietEngine : public speech::Engine {
public:
    explicit QuietEngine(int &spoken) : m_spoken(spoken) {}
    void Speak(const QString &text) override { m_spoken += text.isEmpty() ? 0 : 1; }
    void Stop() override {}
    int Status() override { return kIdle; }
    void ShowVoiceDialog(QWidget *, const QString &) override {}

private:
    int &m_spoken;
};

bool write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

template<typename F>
double msOf(F &&f)
{
    QElapsedTimer t;
    t.start();
    f();
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

qint64 residentKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return 0;
    for (QByteArray line = f.readLine(); !line.isEmpty(); line = f.readLine())
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

Result run(const Plan &plan)
{
    Result r;
    QTemporaryDir dir;
    if (!dir.isValid())
        return r;
    platform::installFontSubstitutions();
    assets::registerDigitFonts();
    frmCtl::lampTestMs = 0;

    // A fresh start with no settings file, our engine and a counting player.
    windows::unloadAll();
    mdlM_Tape::ReleaseSpeech();
    mdlM_Tape::setEngineFactory([&r] { return std::make_unique<QuietEngine>(r.spoken); });
    mdlSndAPI::setMciSender([&r](const QString &c) {
        if (c.startsWith(QStringLiteral("play ")))
            ++r.sounds;
        return platform::sendMci(c);
    });
    platform::setMsgBoxHandler([&r](const platform::MsgBoxRequest &m) {
        r.messages << m.prompt;
        return int(platform::vbOK);
    });
    mdlIniIo::setSettingsPath(dir.filePath(QStringLiteral("first.in4")));

    const QString route = QStringLiteral("00012");
    const QString key = fare::routeKey(route);
    write(dir.filePath(key + QStringLiteral(".hy3")), fareFile());
    write(dir.filePath(key + QStringLiteral("tp.csv")), tapeFile());

    windows::Form1();
    frmOption &o = windows::frmOption();
    frmCtl &c = windows::frmCtl();
    forms::setText(*o.Text2(0), dir.path());
    forms::setText(*o.Text2(1), dir.path());
    for (int i : {0, 1, 3, 4, 5, 6, 7, 8, 9, 10}) { // every sound box there is
        const QString snd = dir.filePath(QStringLiteral("snd%1.wav").arg(i));
        write(snd, soundfix::wav(0.08, 300 + 40 * i));
        forms::setText(*o.txtSelectSound(i), snd);
    }
    forms::setOptionValue(*o.Option2(0), -1); // one fixed step sound
    forms::setOptionValue(*o.Option2(3), -1); // each announcement's own sound
    forms::setOptionValue(*o.Option6(1), -1); // not waiting for either
    forms::setOptionValue(*o.Option7(1), -1);

    // The sample plug-in beside the program, chosen as a user chooses it.
    const QByteArray plugin = cp932::encode(QStringLiteral("plugins/seiriken_barcode.4SP"));
    kxp4::substitutes().Kx3FileDlg = [&plugin](void *, int32_t, const char *, const char *, const char *) {
        return plugin.constData();
    };
    o.Command1_Click();
    kxp4::resetSubstitutes();
    forms::setCheckValue(*o.chkUseSeiriPrev, 1);
    c.Check4->setChecked(true);
    c.Check4_Click();

    // The scroll on a clock that moves on 40 ms a step.
    ChimeiCtl_A &strip = *windows::Form1().ChimeiCtl();
    int64_t now = 0;
    strip.setClock([&now] { return now; });
    c.HScroll1(0)->setValue(10);
    c.HScroll1(1)->setValue(200);

    windows::Form1().show();
    c.CommandButton1_Click(10);
    for (QChar d : route)
        c.CommandButton1_Click(d.digitValue());
    c.CommandButton1_Click(11);
    c.CommandButton1_Click(1);
    c.Command1_Click(1);
    QCoreApplication::processEvents();

    QImage blank(c.previewImage().size(), c.previewImage().format());
    blank.fill(Qt::white);
    const int firstCompositions = strip.compositions();
    r.rssBeforeKb = residentKb();

    std::vector<double> times;
    times.reserve(size_t(plan.steps));
    bool forward = true;
    for (int i = 0; i < plan.steps; ++i) {
        if (forward && mdlM_Tape::GetTapePos() >= mdlM_Tape::GetTapeCount())
            forward = false;
        else if (!forward && mdlM_Tape::GetTapePos() <= 1)
            forward = true;
        const int before = c.ride().route().CurIndex;
        const double ms = msOf([&] {
            forward ? c.cmdTapeNext_Click() : c.cmdTapeBack_Click();
            now += 40;
            strip.advanceScroll();
            QCoreApplication::processEvents();
        });
        if (ms > r.slowestStepMs)
            r.slowestStepMs = ms, r.slowestStep = i;
        r.stepsOver20Ms += ms >= 20 ? 1 : 0;
        times.push_back(ms);
        r.steps += c.ride().route().CurIndex != before ? 1 : 0;
        if (i % 50 == 0)
            r.previews += c.previewImage() != blank ? 1 : 0;
    }
    if (!times.empty()) {
        std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
        r.medianStepMs = times[times.size() / 2];
    }
    r.compositions = strip.compositions() - firstCompositions;
    r.rssAfterRideKb = residentKb();

    for (int i = 0; i < plan.optionApplies; ++i) {
        forms::setListIndex(*o.Combo2, i % 12); // the ticket-number scheme: every label again
        const double ms = msOf([&] {
            o.SetProp();
            o.Command4_Click();
        });
        r.slowestApplyMs = std::max(r.slowestApplyMs, ms);
    }

    const QString saved = dir.filePath(QStringLiteral("soak.in4"));
    mdlIniIo::setSettingsPath(saved);
    for (int i = 0; i < plan.saveLoads; ++i) {
        c.HScroll1(0)->setValue(1 + i % 2000);
        const double ms = msOf([] {
            mdlIniIo::SaveIni();
            mdlIniIo::LoadIni();
        });
        r.slowestSaveLoadMs = std::max(r.slowestSaveLoadMs, ms);
    }
    // What was saved last, read back and saved again, is the same file.
    mdlIniIo::SaveIni();
    const QByteArray last = bytesOf(saved);
    mdlIniIo::LoadIni();
    mdlIniIo::setSettingsPath(dir.filePath(QStringLiteral("again.in4")));
    mdlIniIo::SaveIni();
    r.reloadIdentical = !last.isEmpty() && bytesOf(dir.filePath(QStringLiteral("again.in4"))) == last;
    r.rssAfterKb = residentKb();

    windows::unloadAll();
    mdlM_Tape::ReleaseSpeech();
    mdlM_Tape::setEngineFactory({});
    mdlSndAPI::SndCloseAll();
    mdlSndAPI::setMciSender({});
    platform::setMsgBoxHandler({});
    mdlIniIo::setSettingsPath({});
    return r;
}

} // namespace soak
