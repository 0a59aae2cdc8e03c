// Files that are not what they seem and disks that fill up, as the system
// really makes them: FIFOs, links to /dev/zero and /dev/urandom and folders
// where every reader expects a file; a real tmpfs filled to the last page
// under the settings save and the route converter. Mounting needs root:
// where it is refused, those cases say so and skip.
#include "console/frmCtl.h"
#include "core/ExeName.h"
#include "core/FileIo.h"
#include "core/InputHold.h"
#include "core/KXP4Res.h"
#include "core/PlgInfo.h"
#include "forms/Values.h"
#include "forms/Windows.h"
#include "options/frmOption.h"
#include "panel/Form1.h"
#include "platform/Wait.h"
#include "platform/mci/Mci.h"
#include "settings/mdlIniIo.h"
#include "sound/mdlM_Tape.h"
#include "sound/mdlSndAPI.h"
#include "tests/Fixture.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QProcess>
#include <QPushButton>
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
        QVERIFY(!console().grpM_Tape->isEnabled());
        QCOMPARE(console().ride().route().DataCount, int16_t(0));

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
};

QTEST_MAIN(TestFiles)
#include "test_files.moc"
