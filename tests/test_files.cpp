// Files that are not what they seem and disks that fill up, as the system
// really makes them: FIFOs, links to /dev/zero and /dev/urandom and folders
// where every reader expects a file; a real tmpfs filled to the last page
// under the settings save and the route converter. Mounting needs root:
// where it is refused, those cases say so and skip.
#include "console/frmCtl.h"
#include "core/Cp932.h"
#include "core/ExeName.h"
#include "core/FileIo.h"
#include "core/InputHold.h"
#include "core/KXP4Res.h"
#include "core/PlgInfo.h"
#include "forms/Values.h"
#include "forms/Windows.h"
#include "options/frmOption.h"
#include "panel/Form1.h"
#include "platform/Paths.h"
#include "windows/GtfsImport.h"
#include "windows/RouteCsvImport.h"
#include "platform/Wait.h"
#include "platform/mci/Mci.h"
#include "ride/FareData.h"
#include "settings/mdlIniIo.h"
#include "sound/mdlM_Tape.h"
#include "sound/mdlSndAPI.h"
#include "tests/Fixture.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSpinBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

#include <atomic>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

namespace {

using fixture::bytesOf;
using fixture::put;

// What stands where a reader expects a file.
enum class Kind { Fifo, Zero, Random, Folder };

void make(Kind k, const QString &path)
{
    switch (k) {
    case Kind::Fifo: QCOMPARE(QProcess::execute(QStringLiteral("mkfifo"), {path}), 0); break;
    case Kind::Zero: QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path)); break;
    case Kind::Random: QVERIFY(QFile::link(QStringLiteral("/dev/urandom"), path)); break;
    case Kind::Folder: QVERIFY(QDir().mkpath(path)); break;
    }
}

// A reader that blocked on a FIFO would never return: after the deadline a
// second opener lets it go and says so, so a fault fails the case instead of
// hanging it. The deadline is far beyond any honest read on a loaded machine.
class FifoWatchdog {
public:
    explicit FifoWatchdog(QString path) : m_path(std::move(path))
    {
        m_thread = std::thread([this] {
            for (int i = 0; i < 3000 && !m_done; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (m_done)
                return;
            m_released = true;
            const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        });
    }
    ~FifoWatchdog()
    {
        m_done = true;
        m_thread.join();
    }
    // Whether a reader was left blocked until the deadline.
    bool released() const { return m_released; }
    const QString &path() const { return m_path; }

private:
    QString m_path;
    std::atomic<bool> m_done{false};
    std::atomic<bool> m_released{false};
    std::thread m_thread;
};

// A small tmpfs of our own, filled to the last byte, or left with one page.
class FullDisk {
public:
    explicit FullDisk(const QString &dir) : m_dir(dir)
    {
        QDir().mkpath(dir);
        QProcess mount;
        mount.start(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=1m", "tmpfs", dir});
        m_mounted = mount.waitForFinished() && mount.exitStatus() == QProcess::NormalExit && mount.exitCode() == 0;
        m_why = QString::fromLocal8Bit(mount.readAllStandardError()).trimmed();
    }
    ~FullDisk()
    {
        if (m_mounted)
            QProcess::execute(QStringLiteral("umount"), {m_dir});
    }
    bool mounted() const { return m_mounted; }
    QString why() const { return m_why; }

    // Fills what is left; then gives back `spare` bytes.
    void fill(qint64 spare)
    {
        QFile f(QDir(m_dir).filePath(QStringLiteral("filler")));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(4096, '\0');
        while (f.write(block) == block.size()) {
        }
        f.close();
        if (spare > 0)
            QVERIFY(f.resize(std::max<qint64>(0, f.size() - spare)));
    }

private:
    QString m_dir;
    bool m_mounted = false;
    QString m_why;
};

} // namespace

Q_DECLARE_METATYPE(Kind)

class TestFiles : public QObject {
    Q_OBJECT
    fixture::Windows m_w;
    QStringList &m_boxes = m_w.boxes;

    QString path(const QString &name) const { return m_w.path(name); }
    frmCtl &console() { return windows::frmCtl(); }
    frmOption &options() { return windows::frmOption(); }

    static void addKinds()
    {
        QTest::addColumn<Kind>("kind");
        QTest::newRow("FIFO") << Kind::Fifo;
        QTest::newRow("link to /dev/zero") << Kind::Zero;
        QTest::newRow("link to /dev/urandom") << Kind::Random;
        QTest::newRow("folder") << Kind::Folder;
    }
    QStringList strays(const QString &dir) const
    {
        QStringList names = QDir(dir).entryList(QDir::Files | QDir::Hidden);
        names.removeAll(QStringLiteral("filler"));
        names.removeAll(QStringLiteral("427.in4"));
        names.removeAll(QStringLiteral("34.hy3"));
        return names;
    }

private slots:
    void init()
    {
        m_w.begin();
        mdlSndAPI::setMciSender({}); // the real player, on SDL's dummy driver
        windows::Form1();
        m_boxes.clear();
    }
    void cleanup()
    {
        m_w.end();
        for (const QString &n : QDir(m_w.dir()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
            QFileInfo fi(path(n));
            if (fi.isDir() && !fi.isSymLink())
                QDir(path(n)).removeRecursively();
            else
                QFile::remove(path(n));
        }
    }

    // Every reader of outside data, given something that is not a regular
    // file: it neither blocks nor reads without end, and ends in its own
    // message or in silence.
    void everyReaderRefusesWhatIsNoFile_data() { addKinds(); }
    void everyReaderRefusesWhatIsNoFile()
    {
        QFETCH(Kind, kind);
        const QString folder = path(QStringLiteral("data"));
        QVERIFY(QDir().mkpath(folder));
        const QDir d(folder);
        for (const char *name : {"427.in4", "12.hy3", "12tp.csv", "face.bmp", "ticket.4SP", "chime.wav", "chime.mid"})
            make(kind, d.filePath(QString::fromLatin1(name)));
        std::vector<std::unique_ptr<FifoWatchdog>> dogs;
        if (kind == Kind::Fifo)
            for (const QString &n : d.entryList(QDir::System))
                dogs.push_back(std::make_unique<FifoWatchdog>(d.filePath(n)));

        // The settings file: anything but a missing file is reported.
        mdlIniIo::setSettingsPath(d.filePath(QStringLiteral("427.in4")));
        mdlIniIo::LoadIni();
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY2(m_boxes[0].startsWith(QStringLiteral("エラー Code:75\r\n")), qPrintable(m_boxes[0]));
        QVERIFY(m_boxes[0].endsWith(QStringLiteral("\r\nモジュール:mdlIniIo.LoadIni()")));

        // The route and its announcement list: the load's own message; the
        // announcement group stays off.
        m_boxes.clear();
        forms::setText(*options().Text2(0), folder);
        forms::setText(*options().Text2(1), folder);
        console().CommandButton1_Click(10);
        console().CommandButton1_Click(1);
        console().CommandButton1_Click(2);
        console().CommandButton1_Click(11);
        console().CommandButton1_Click(1);
        console().Command1_Click(1);
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(console().ride().route().DataCount, int16_t(0));
        // The list follows a route that loaded; read on its own it is refused too.
        mdlM_Tape::LoadTape(platform::withSeparator(folder), QStringLiteral("12"));
        QVERIFY(!console().grpM_Tape->isEnabled());

        // A backlight picture: a file access error, not "no picture".
        try {
            frmCtl::loadPicture(d.filePath(QStringLiteral("face.bmp")));
            QFAIL("loaded");
        } catch (const vb::Error &e) {
            QCOMPARE(e.number(), int(vb::ErrPathFileAccess));
        }

        // A ticket plug-in: the helper library answers "no plug-in".
        kxp4::PlgInfo info{};
        QCOMPARE(kxp4::KX4_GetPlgInfo(d.filePath(QStringLiteral("ticket.4SP")), info), 0);

        // Sounds: silence.
        for (const char *name : {"chime.wav", "chime.mid"}) {
            const QString type = QString::fromLatin1(name).endsWith(u"mid") ? "sequencer" : "waveaudio";
            QVERIFY(platform::sendMci(QStringLiteral("open \"%1\" type %2 alias probe")
                                               .arg(d.filePath(QString::fromLatin1(name)), type))
                    != 0);
        }
        for (const auto &dog : dogs)
            QVERIFY2(!dog->released(), qPrintable(dog->path()));
    }

    // The program starts with such paths in its settings: the stored
    // backlight picture and ticket plug-in are a FIFO and /dev/zero.
    void theProgramStartsWithSuchPathsStored_data() { addKinds(); }
    void theProgramStartsWithSuchPathsStored()
    {
        QFETCH(Kind, kind);
        const QString picture = path(QStringLiteral("picture.jpg"));
        const QString plugin = path(QStringLiteral("plugin.4SP"));
        make(kind, picture);
        make(kind, plugin);
        std::unique_ptr<FifoWatchdog> dog1, dog2;
        if (kind == Kind::Fifo) {
            dog1 = std::make_unique<FifoWatchdog>(picture);
            dog2 = std::make_unique<FifoWatchdog>(plugin);
        }
        frmOption &o = options();
        forms::setOptionValue(*o.Option3(1), -1);
        for (int i : {6, 2, 5}) // the user's picture whatever the backlight state
            forms::setOptionValue(*o.Option3(i), -1);
        for (int i = 0; i < 3; ++i)
            forms::setText(*o.txtSelectPanel(i), picture);
        forms::setCheckValue(*o.chkUseSeiriPrev, 1);
        forms::setText(*o.txtSeiriPlgDir, plugin);
        const QString settings = path(QStringLiteral("427.in4"));
        mdlIniIo::setSettingsPath(settings);
        mdlIniIo::SaveIni();
        QVERIFY(QFileInfo(settings).size() > 598);
        windows::unloadAll();
        m_boxes.clear();

        windows::Form1(); // the whole start-up, the settings read last
        for (const auto *dog : {dog1.get(), dog2.get()})
            if (dog)
                QVERIFY2(!dog->released(), qPrintable(dog->path()));
        // The picture's own message each time it is applied (a folder is no
        // file to look for: silence); the plug-in is silent.
        QCOMPARE(m_boxes.isEmpty(), kind == Kind::Folder);
        for (const QString &box : std::as_const(m_boxes))
            QVERIFY2(box.contains(QStringLiteral("エラーコード：75")), qPrintable(box));
    }

    // The settings save and the converter's write on a real full disk: the
    // old file stays byte for byte, no half-written copy is left, the save
    // shows its two-line message with 57.
    void aFullDiskKeepsTheOldFile_data()
    {
        QTest::addColumn<qint64>("spare");
        QTest::newRow("not a byte free") << qint64(0);
        QTest::newRow("one page free") << qint64(4096);
    }
    void aFullDiskKeepsTheOldFile()
    {
        QFETCH(qint64, spare);
        const QString dir = path(QStringLiteral("full"));
        FullDisk disk(dir);
        if (!disk.mounted())
            QSKIP(qPrintable(QStringLiteral("cannot mount a tmpfs here (%1)").arg(disk.why())));
        const QString settings = QDir(dir).filePath(QStringLiteral("427.in4"));
        mdlIniIo::setSettingsPath(settings);
        mdlIniIo::SaveIni();
        const QByteArray old = bytesOf(settings);
        QCOMPARE(m_boxes, QStringList());
        const QString route = QDir(dir).filePath(QStringLiteral("34.hy3"));
        QVERIFY(put(route, fixture::route(2, [](int, int) { return 0; })));
        const QByteArray oldRoute = bytesOf(route);

        // A save of some 10 KB, larger than the page left.
        forms::setText(*options().Text2(0), QString(9000, u'x'));
        disk.fill(spare);
        mdlIniIo::SaveIni();
        QCOMPARE(bytesOf(settings), old);
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY2(m_boxes[0].startsWith(QStringLiteral("エラー Code:57\r\n内容:")), qPrintable(m_boxes[0]));
        QCOMPARE(m_boxes[0].count(QStringLiteral("\r\n")), 1);

        // The converter, the real program, onto the same disk.
        const QString csv = path(QStringLiteral("long.csv"));
        QByteArray rows;
        for (int i = 1; i <= 100; ++i)
            rows += "停留所" + QByteArray::number(i) + "," + QByteArray::number(i) + ",180,200\n";
        QVERIFY(put(csv, rows));
        QProcess tool;
        tool.start(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("soratobi4-route")),
                   {QStringLiteral("to-hy3"), csv, route});
        QVERIFY(tool.waitForFinished());
        QVERIFY(tool.exitCode() != 0);
        QVERIFY2(tool.readAllStandardError().contains("full"), "the converter names the cause");
        QCOMPARE(bytesOf(route), oldRoute);
        QCOMPARE(strays(dir), QStringList());
    }

    // A read-only file system and a folder where the file should be: 75,
    // the old file kept. (Root may write a read-only file, not onto a
    // read-only mount.)
    void aSaveThatCannotCreateItsFile()
    {
        const QString folder = path(QStringLiteral("427.in4"));
        QVERIFY(QDir().mkpath(folder));
        mdlIniIo::setSettingsPath(folder);
        mdlIniIo::SaveIni();
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY2(m_boxes[0].startsWith(QStringLiteral("エラー Code:75\r\n")), qPrintable(m_boxes[0]));
        QVERIFY(QFileInfo(folder).isDir());

        const QString dir = path(QStringLiteral("ro"));
        FullDisk disk(dir);
        if (!disk.mounted())
            QSKIP(qPrintable(QStringLiteral("cannot mount a tmpfs here (%1)").arg(disk.why())));
        const QString settings = QDir(dir).filePath(QStringLiteral("427.in4"));
        QVERIFY(put(settings, "yesterday"));
        QCOMPARE(QProcess::execute(QStringLiteral("mount"), {"-o", "remount,ro", dir}), 0);
        m_boxes.clear();
        mdlIniIo::setSettingsPath(settings);
        mdlIniIo::SaveIni();
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY2(m_boxes[0].startsWith(QStringLiteral("エラー Code:75\r\n")), qPrintable(m_boxes[0]));
        QCOMPARE(bytesOf(settings), QByteArray("yesterday"));
    }

    // An installed program: the settings written to the user's folder, read
    // from there once they exist, else from beside the executable.
    void whereTheSettingsLive()
    {
        const QString exe = path(QStringLiteral("exe"));
        const QString user = path(QStringLiteral("user"));
        QDir().mkpath(exe);
        const QString name = u'/' + core::exeName() + QStringLiteral(".in4");
        auto paths = mdlIniIo::settingsPaths(exe, user, true);
        QCOMPARE(paths.read, exe + name);
        QCOMPARE(paths.write, exe + name);
        paths = mdlIniIo::settingsPaths(exe, user, false);
        QCOMPARE(paths.read, exe + name);
        QCOMPARE(paths.write, user + name);
        QDir().mkpath(user);
        QVERIFY(put(user + name, "mine"));
        paths = mdlIniIo::settingsPaths(exe, user, false);
        QCOMPARE(paths.read, user + name);
    }

    // An installed program finds a route in the user's data folder first,
    // the packaged demo beside itself, and writes imports into the user's.
    void whereTheRoutesLive()
    {
        const QString exe = path(QStringLiteral("exe2"));
        const QString user = path(QStringLiteral("user2"));
        QVERIFY(QDir().mkpath(exe + "/demo") && QDir().mkpath(user + "/demo"));
        QVERIFY(put(exe + "/demo/12.HY3", "packaged") && put(exe + "/demo/7.hy3", "packaged"));
        QVERIFY(put(user + "/demo/7.hy3", "mine"));
        const platform::DataRoots beside = platform::dataRoots(exe, user, true);
        QCOMPARE(beside.read, QStringList{exe});
        QCOMPARE(platform::writableFolder(QStringLiteral("demo"), beside.write), exe + "/demo");
        const platform::DataRoots installed = platform::dataRoots(exe, user, false);
        QCOMPARE(platform::findFile(QStringLiteral("demo\\7.hy3"), installed.read), user + "/demo/7.hy3");
        QCOMPARE(platform::findFile(QStringLiteral("demo/12.hy3"), installed.read), exe + "/demo/12.HY3");
        QCOMPARE(platform::findFile(QStringLiteral("demo/13.hy3"), installed.read), QString());
        QCOMPARE(platform::writableFolder(QStringLiteral("demo/"), installed.write), user + "/demo/");
        QCOMPARE(platform::writableFolder(QString(), installed.write), user);
        QCOMPARE(platform::writableFolder(exe, installed.write), exe); // absolute stays
    }

    // Presses that an accessibility client makes while a wait holds input
    // back run after the wait, in the order they came.
    void pressesDuringAWaitRunAfterIt()
    {
        QWidget *key1 = console().CommandButton1(1);
        QWidget *key2 = console().CommandButton1(2);
        console().CommandButton1_Click(10); // route entry
        const QString before = forms::caption(*console().Label2(0));
        auto press = [](QWidget *w) {
            QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
            QVERIFY(a && a->actionInterface());
            a->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        };
        QTimer::singleShot(10, console().CommandButton1(1), [&] { press(key1); });
        QTimer::singleShot(30, console().CommandButton1(2), [&] { press(key2); });
        platform::pauseFor(400); // the presses' clicks arrive inside
        QCOMPARE(forms::caption(*console().Label2(0)), before);
        QTRY_COMPARE(forms::caption(*console().Label2(0)), before + QStringLiteral("12"));
        QVERIFY(!inputhold::held());
    }

    // A route imported from a feed onto a real tmpfs with every amount of
    // room, from none to enough: its four files are all the old ones (and the
    // message says so) or all the new ones, and no temporary file is left.
    void aFullDiskKeepsTheRouteWhole_data()
    {
        QTest::addColumn<qint64>("spare");
        for (qint64 kb : {0, 4, 12, 24, 36, 48, 60, 72, 96, 120, 160, 240, 400})
            QTest::newRow(qPrintable(QStringLiteral("%1 KB free").arg(kb))) << kb * 1024;
    }
    void aFullDiskKeepsTheRouteWhole()
    {
        QFETCH(qint64, spare);
        // A feed of 120 stops, each with a reading.
        const QString feed = path(QStringLiteral("feed"));
        QVERIFY(QDir().mkpath(feed));
        QByteArray stops = "stop_id,stop_name,stop_lat,stop_lon\n", times = "trip_id,stop_id,stop_sequence\n",
                   readings = "trans_id,lang,translation\n";
        for (int i = 1; i <= 120; ++i) {
            const QByteArray n = QByteArray::number(i);
            stops += "S" + n + ",停留所" + n + ",35.1,139.1\n";
            times += "T1,S" + n + "," + n + "\n";
            readings += "停留所" + n + ",ja-Hrkt,ていりゅうじょ" + n + "\n";
        }
        const QDir f(feed);
        QVERIFY(put(f.filePath(QStringLiteral("stops.txt")), stops) && put(f.filePath(QStringLiteral("stop_times.txt")), times)
                && put(f.filePath(QStringLiteral("translations.txt")), readings)
                && put(f.filePath(QStringLiteral("routes.txt")), "route_id\nR1\n")
                && put(f.filePath(QStringLiteral("trips.txt")), "route_id,service_id,trip_id\nR1,W,T1\n"));
        const QStringList names{QStringLiteral("7.hy3"), QStringLiteral("7.stops.csv"), QStringLiteral("7tp.csv"), QStringLiteral("7yomi.csv")};
        const auto import = [&](const QString &out) {
            QProcess tool;
            tool.start(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("soratobi4-route")),
                       {QStringLiteral("gtfs"), feed, QStringLiteral("--route"), QStringLiteral("R1"), QStringLiteral("--number"),
                        QStringLiteral("7"), QStringLiteral("--out"), out});
            [&] { QVERIFY(tool.waitForFinished()); }();
            return std::make_pair(tool.exitCode(), QString::fromUtf8(tool.readAllStandardError()));
        };
        const QString fresh = path(QStringLiteral("fresh"));
        QVERIFY(QDir().mkpath(fresh));
        QCOMPARE(import(fresh).first, 0);
        QList<QByteArray> fresh4, old4;
        for (const QString &n : names)
            fresh4 << bytesOf(QDir(fresh).filePath(n));

        const QString dir = path(QStringLiteral("full"));
        FullDisk disk(dir);
        if (!disk.mounted())
            QSKIP(qPrintable(QStringLiteral("cannot mount a tmpfs here (%1)").arg(disk.why())));
        for (const QString &n : names) {
            old4 << "old " + n.toUtf8();
            QVERIFY(put(QDir(dir).filePath(n), old4.back()));
        }
        disk.fill(spare);
        const auto [code, message] = import(dir);
        QList<QByteArray> now;
        for (const QString &n : names)
            now << bytesOf(QDir(dir).filePath(n));
        if (code == 0) {
            QCOMPARE(now, fresh4);
        } else {
            QCOMPARE(now, old4);
            QVERIFY2(message.contains(QStringLiteral("the disk is full")) && message.contains(QStringLiteral("old files are as they were")),
                     qPrintable(message));
        }
        if (spare == 0)
            QVERIFY(code != 0);
        if (spare >= 400 * 1024)
            QCOMPARE(code, 0);
        QStringList left = QDir(dir).entryList(QDir::Files | QDir::Hidden);
        left.removeAll(QStringLiteral("filler"));
        for (const QString &n : names)
            left.removeAll(n);
        QCOMPARE(left, QStringList());
    }

    // A rename that fails at any step of putting a route in place: the old
    // files come back; where putting one back fails too, the result names it
    // and where its old copy waits. Nothing else is left beside the files.
    void aRouteWriteThatCannotRename_data()
    {
        QTest::addColumn<int>("failAt");  // the rename that fails, from 1
        QTest::addColumn<bool>("restore"); // whether the renames that put files back still work
        QTest::addColumn<bool>("hadOld");  // whether old files were there
        for (int k = 1; k <= 6; ++k) {
            QTest::newRow(qPrintable(QStringLiteral("rename %1").arg(k))) << k << true << true;
            QTest::newRow(qPrintable(QStringLiteral("rename %1, no way back").arg(k))) << k << false << true;
        }
        QTest::newRow("new files, rename 2") << 2 << true << false;
    }
    void aRouteWriteThatCannotRename()
    {
        QFETCH(int, failAt);
        QFETCH(bool, restore);
        QFETCH(bool, hadOld);
        const QString dir = path(QStringLiteral("route"));
        QVERIFY(QDir().mkpath(dir));
        QList<fileio::FileWrite> files;
        for (const char *n : {"5.hy3", "5.stops.csv", "5tp.csv"}) {
            const QString p = QDir(dir).filePath(QString::fromLatin1(n));
            files.append({p, QByteArray("new ") + n});
            if (hadOld)
                QVERIFY(put(p, QByteArray("old ") + n));
        }
        int renames = 0;
        bool failed = false;
        fileio::GroupHooks hooks;
        hooks.rename = [&](const QString &from, const QString &to) {
            if (++renames == failAt || (failed && !restore)) {
                failed = true;
                return false;
            }
            return QFile::remove(to), QFile::rename(from, to);
        };
        const fileio::GroupResult r = fileio::writeGroup(files, hooks);
        QCOMPARE(r.error, 75);
        QVERIFY(!r.failed.isEmpty());
        QCOMPARE(r.allOld(), restore || failAt == 1 || !hadOld);
        QStringList left = QDir(dir).entryList(QDir::Files);
        for (qsizetype i = 0; i < files.size(); ++i) {
            const QString name = QFileInfo(files[i].path).fileName();
            left.removeAll(name);
            const QByteArray now = bytesOf(files[i].path);
            if (r.notRestored.contains(files[i].path))
                QVERIFY(now == files[i].bytes || !QFileInfo::exists(files[i].path));
            else
                QCOMPARE(now, hadOld ? QByteArray("old ") + name.toLatin1() : QByteArray());
        }
        for (const QString &aside : r.aside)
            left.removeAll(QFileInfo(aside).fileName());
        QCOMPARE(left, QStringList());
        QCOMPARE(r.aside.size(), r.notRestored.size());
    }

    // A route of one's own from the options: a bad cell is named by its
    // place and nothing is written; a good one writes the fare file and the
    // list converted to code page 932, and a route already there is asked about.
    void theCsvImportWindow()
    {
        const QString dir = path(QStringLiteral("own"));
        forms::setText(*options().Text2(0), dir + QStringLiteral("/fares"));
        forms::setText(*options().Text2(1), dir + QStringLiteral("/tapes"));
        const QString csv = path(QStringLiteral("34.csv")), tape = path(QStringLiteral("list.csv"));
        QVERIFY(put(tape, "次は、北口です。,1,1\n"));
        RouteCsvImport w;
        w.txtRoute->setText(csv);
        w.txtTape->setText(tape);
        w.txtNumber->setValue(34);
        QVERIFY(put(csv, "北口,1,180\n南口,2,200,x\n"));
        QVERIFY(!w.importFiles());
        QVERIFY2(w.txtReport->toPlainText().contains(QStringLiteral("line 2, column 4")), qPrintable(w.txtReport->toPlainText()));
        QVERIFY(!QDir(dir).exists());

        QVERIFY(put(csv, "北口,1,180\n南口,2,200,180\n"));
        QVERIFY(w.importFiles());
        QCOMPARE(fare::readFareFile(bytesOf(dir + QStringLiteral("/fares/34.hy3"))).DataCount, int16_t(2));
        QCOMPARE(bytesOf(dir + QStringLiteral("/tapes/34tp.csv")), cp932::encode(QStringLiteral("次は、北口です。,1,1\r\n")));

        m_w.answer = platform::vbNo;
        QVERIFY(put(csv, "北口,1,190\n南口,2,210,190\n"));
        QVERIFY(!w.importFiles());
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(fare::readFareFile(bytesOf(dir + QStringLiteral("/fares/34.hy3"))).records[1].fare(1), 210 - 10);

        // A folder that cannot be written (a package's) is said so in plain words.
        const QString ro = path(QStringLiteral("ro-own"));
        FullDisk disk(ro);
        if (!disk.mounted())
            QSKIP(qPrintable(QStringLiteral("cannot mount a tmpfs here (%1)").arg(disk.why())));
        QCOMPARE(QProcess::execute(QStringLiteral("mount"), {"-o", "remount,ro", ro}), 0);
        forms::setText(*options().Text2(0), ro + QStringLiteral("/fares"));
        QVERIFY(!w.importFiles());
        QVERIFY2(w.txtReport->toPlainText().contains(QStringLiteral("書き込みの権限がないか、読み取り専用です")),
                 qPrintable(w.txtReport->toPlainText()));
    }

    // The import window onto a full disk: the route's old files stay, the
    // report says nothing was changed, nothing is left beside them; with room
    // again the same import writes them all.
    void theImportWindowOntoAFullDisk()
    {
        const QString feed = path(QStringLiteral("feed"));
        QVERIFY(QDir().mkpath(feed));
        const QDir f(feed);
        QVERIFY(put(f.filePath(QStringLiteral("stops.txt")), "stop_id,stop_name\nS1,一\nS2,二\nS3,三\n")
                && put(f.filePath(QStringLiteral("routes.txt")), "route_id,route_short_name\nR1,8\n")
                && put(f.filePath(QStringLiteral("trips.txt")), "route_id,service_id,trip_id\nR1,W,T1\n")
                && put(f.filePath(QStringLiteral("stop_times.txt")), "trip_id,stop_id,stop_sequence\nT1,S1,1\nT1,S2,2\nT1,S3,3\n")
                && put(f.filePath(QStringLiteral("translations.txt")), "trans_id,lang,translation\n一,ja-Hrkt,いち\n"));
        const QString dir = path(QStringLiteral("full"));
        FullDisk disk(dir);
        if (!disk.mounted())
            QSKIP(qPrintable(QStringLiteral("cannot mount a tmpfs here (%1)").arg(disk.why())));
        forms::setText(*options().Text2(0), dir);
        forms::setText(*options().Text2(1), dir);
        const QStringList names{QStringLiteral("8.hy3"), QStringLiteral("8.stops.csv"), QStringLiteral("8tp.csv"), QStringLiteral("8yomi.csv")};
        for (const QString &n : names)
            QVERIFY(put(QDir(dir).filePath(n), "old " + n.toUtf8()));
        m_w.answer = platform::vbYes; // replace route 8
        GtfsImport w;
        w.txtFeed->setText(feed);
        QVERIFY(w.readFeed());
        QCOMPARE(w.lstPatterns->topLevelItemCount(), 1);
        // Route 8 is taken, so another is suggested: the user asks for 8 again.
        QCOMPARE(w.lstPatterns->topLevelItem(0)->text(GtfsImport::ColNumber), QStringLiteral("1"));
        w.lstPatterns->topLevelItem(0)->setText(GtfsImport::ColNumber, QStringLiteral("8"));
        w.lstPatterns->topLevelItem(0)->setCheckState(GtfsImport::ColRoute, Qt::Checked);
        disk.fill(0);
        QCOMPARE(w.importChecked(), 0);
        for (const QString &n : names)
            QCOMPARE(bytesOf(QDir(dir).filePath(n)), "old " + n.toUtf8());
        const QString report = w.txtReport->toPlainText();
        QVERIFY2(report.contains(QStringLiteral("ディスクがいっぱい")) && report.contains(QStringLiteral("系統8のファイルは何も書き換えていません")),
                 qPrintable(report));
        QVERIFY(!report.contains(QStringLiteral("書き込みました")));
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden).size(), names.size() + 1); // and the filler

        QVERIFY(QFile::remove(QDir(dir).filePath(QStringLiteral("filler"))));
        QCOMPARE(w.importChecked(), 1);
        QCOMPARE(fare::readFareFile(bytesOf(QDir(dir).filePath(names[0]))).DataCount, int16_t(3));
        for (const QString &n : names)
            QVERIFY(!bytesOf(QDir(dir).filePath(n)).startsWith("old "));
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden).size(), names.size());
    }
};

QTEST_MAIN(TestFiles)
#include "test_files.moc"
