// Faults from outside the program: the settings save cut off at every byte,
// a full disk, a folder that cannot be written; sound files, pictures and a
// ticket plug-in deleted or rewritten by someone else while in use.
#include "console/frmCtl.h"
#include "core/Cp932.h"
#include "core/KXP4Res.h"
#include "forms/Values.h"
#include "forms/Windows.h"
#include "options/frmOption.h"
#include "panel/Form1.h"
#include "platform/mci/Mci.h"
#include "settings/mdlIniIo.h"
#include "sound/mdlSndAPI.h"
#include "tests/Fixture.h"
#include "tests/SoundFixtures.h"

#include <QSaveFile>
#include <QtTest>

namespace {

using fixture::bytesOf;
using fixture::put;

// What someone else does to a file between our look and our open.
enum class Change { Delete, Garbage, Empty, Truncate, Replace };

void apply(Change c, const QString &path, const QByteArray &replacement = {})
{
    switch (c) {
    case Change::Delete: QFile::remove(path); break;
    case Change::Garbage: put(path, QByteArray("this is no longer what it was\r\n").repeated(8)); break;
    case Change::Empty: put(path, {}); break;
    case Change::Truncate: put(path, bytesOf(path).left(int(bytesOf(path).size() / 2))); break;
    case Change::Replace: put(path, replacement); break;
    }
}

} // namespace

Q_DECLARE_METATYPE(Change)

class TestFaults : public QObject {
    Q_OBJECT
    fixture::Windows m_w;
    QStringList &m_boxes = m_w.boxes;
    QStringList m_sent;

    QString path(const QString &name) const { return m_w.path(name); }
    QStringList strays() const
    {
        QStringList names = QDir(m_w.dir()).entryList(QDir::Files);
        names.removeAll(QStringLiteral("427.in4"));
        return names.filter(QStringLiteral(".in4"));
    }

private slots:
    void init()
    {
        m_w.begin();
        m_sent.clear();
        windows::Form1(); // the defaults
        m_boxes.clear();
    }
    void cleanup() { m_w.end(); }

    // The new file cut off after n bytes, for every n up to its whole size
    // (and a failure reported after the last byte): the old file stays as
    // it was, no half-written copy is left, and the two-line message shows.
    void aSaveCutOffAtEveryByteKeepsTheOldFile()
    {
        const QString target = path(QStringLiteral("427.in4"));
        mdlIniIo::setSettingsPath(target);
        mdlIniIo::SaveIni();
        const QByteArray old = bytesOf(target);
        QVERIFY(!old.isEmpty());
        forms::setText(*windows::frmOption().Text2(0), QStringLiteral("新しい運賃フォルダ"));
        forms::setListIndex(*windows::frmOption().Combo1, 42);

        qint64 size = -1;
        mdlIniIo::setWriter([&size](QIODevice &d, const QByteArray &b) {
            size = b.size();
            return d.write(b);
        });
        mdlIniIo::setSettingsPath(path(QStringLiteral("new.in4")));
        mdlIniIo::SaveIni();
        QVERIFY(size > old.size());
        QVERIFY(bytesOf(path(QStringLiteral("new.in4"))) != old);
        QFile::remove(path(QStringLiteral("new.in4")));
        mdlIniIo::setSettingsPath(target);

        for (qint64 n = 0; n <= size; ++n) {
            m_boxes.clear();
            mdlIniIo::setWriter([n](QIODevice &d, const QByteArray &b) -> qint64 {
                const qint64 done = d.write(b.left(n));
                return done == b.size() ? -1 : done; // all bytes, then the error
            });
            mdlIniIo::SaveIni();
            QVERIFY2(bytesOf(target) == old, qPrintable(QString::number(n)));
            QCOMPARE(m_boxes.size(), 1);
            QVERIFY2(m_boxes[0].startsWith(QStringLiteral("エラー Code:57\r\n内容:")), qPrintable(m_boxes[0]));
            QCOMPARE(m_boxes[0].count(QStringLiteral("\r\n")), 1);
            QCOMPARE(strays(), QStringList());
        }
    }

    void aSaveThatCannotBeDone_data()
    {
        QTest::addColumn<QString>("where"); // relative to the folder
        QTest::addColumn<int>("how");       // 0 plain, 1 onto a full device, 2 the commit refused
        QTest::addColumn<int>("code");
        QTest::newRow("full disk: the kernel says no space") << "427.in4" << 1 << 57;
        QTest::newRow("the commit refused") << "427.in4" << 2 << 75;
        QTest::newRow("folder is a file") << "427.in4/427.in4" << 0 << 75;
        QTest::newRow("folder under a file") << "427.in4/sub/427.in4" << 0 << 75;
    }
    void aSaveThatCannotBeDone()
    {
        QFETCH(QString, where);
        QFETCH(int, how);
        QFETCH(int, code);
        if (how == 1 && !QFileInfo::exists(QStringLiteral("/dev/full")))
            QSKIP("no /dev/full here");
        const QString old = path(QStringLiteral("427.in4"));
        const QByteArray yesterday("the settings of yesterday");
        QVERIFY(put(old, yesterday));
        if (how == 1)
            mdlIniIo::setWriter([](QIODevice &, const QByteArray &b) {
                // The same bytes onto a device that is always full.
                QFile full(QStringLiteral("/dev/full"));
                if (!full.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
                    return qint64(-1);
                return full.write(b);
            });
        if (how == 2)
            mdlIniIo::setCommitHook([](QSaveFile &f) {
                f.cancelWriting();
                return f.commit();
            });
        mdlIniIo::setSettingsPath(path(where));
        mdlIniIo::SaveIni();
        QCOMPARE(bytesOf(old), yesterday);
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY2(m_boxes[0].startsWith(QStringLiteral("エラー Code:%1\r\n内容:").arg(code)), qPrintable(m_boxes[0]));
        QCOMPARE(m_boxes[0].count(QStringLiteral("\r\n")), 1);
        QCOMPARE(strays(), QStringList());
    }

    // The sound is found, then changed before the player opens it (the
    // channel is closed in between). Whatever is left plays or is silent;
    // the channel still plays the next sound.
    void aSoundChangedBeforeTheOpen_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<bool>("plays");
        QTest::newRow("deleted") << Change::Delete << false;
        QTest::newRow("garbage") << Change::Garbage << false;
        QTest::newRow("emptied") << Change::Empty << false;
        QTest::newRow("another sound") << Change::Replace << true;
    }
    void aSoundChangedBeforeTheOpen()
    {
        QFETCH(Change, change);
        QFETCH(bool, plays);
        const QString snd = path(QStringLiteral("step.wav"));
        const QString next = path(QStringLiteral("next.wav"));
        QVERIFY(put(snd, soundfix::wav(0.2)));
        QVERIFY(put(next, soundfix::wav(0.1, 660)));
        QList<int> results;
        bool changed = false;
        mdlSndAPI::setMciSender([&](const QString &c) {
            if (!changed && c.startsWith(QStringLiteral("close "))) {
                changed = true;
                apply(change, snd, soundfix::wav(0.3, 880));
            }
            m_sent << c;
            results << platform::sendMci(c);
            return results.last();
        });
        for (qint16 sync : {0, 1}) {
            m_sent.clear();
            results.clear();
            changed = false;
            QVERIFY(put(snd, soundfix::wav(0.2)));
            mdlSndAPI::SndPlay(snd, QStringLiteral("S2"), sync, 0);
            QCOMPARE(m_sent.filter(QStringLiteral("play ")).size(), plays ? 1 : 0);
            for (int k = 0; k < m_sent.size(); ++k)
                if (!m_sent[k].startsWith(QStringLiteral("close "))) // closing a closed channel may fail
                    QVERIFY2(results[k] == 0 || (!plays && m_sent[k].startsWith(QStringLiteral("open "))),
                             qPrintable(m_sent[k]));
            m_sent.clear();
            results.clear();
            mdlSndAPI::SndPlay(next, QStringLiteral("S2"), 1, 0);
            QCOMPARE(m_sent.filter(QStringLiteral("play ")).size(), 1);
            QCOMPARE(results.last(), 0);
        }
        QCOMPARE(m_boxes, QStringList());
    }

    // The backlight picture is found, then changed before it is read: the
    // numbered message, and the panel keeps what it showed.
    void aPictureChangedBeforeTheOpen_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<int>("code"); // 0: no message, the new picture shows
        QTest::newRow("deleted") << Change::Delete << 53;
        QTest::newRow("turned to text") << Change::Garbage << 481;
        QTest::newRow("emptied") << Change::Empty << 481;
        QTest::newRow("another picture") << Change::Replace << 0;
    }
    void aPictureChangedBeforeTheOpen()
    {
        QFETCH(Change, change);
        QFETCH(int, code);
        const QString pic = path(QStringLiteral("face.bmp"));
        QImage red(40, 20, QImage::Format_RGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(pic, "BMP"));
        QImage blue = red;
        blue.fill(Qt::blue);
        QByteArray blueBytes;
        {
            QBuffer buf(&blueBytes);
            buf.open(QIODevice::WriteOnly);
            blue.save(&buf, "BMP");
        }
        frmOption &o = windows::frmOption();
        forms::setOptionValue(*o.Option3(1), -1);
        forms::setOptionValue(*o.Option3(6), -1);
        forms::setText(*o.txtSelectPanel(0), pic);
        frmCtl::pictureFound = [&](const QString &found) {
            QCOMPARE(found, pic);
            apply(change, found, blueBytes);
        };
        const QImage before = windows::Form1().Picture().toImage();
        windows::frmCtl().Option4_Click(0);
        const QImage after = windows::Form1().Picture().toImage();
        if (code == 0) {
            QCOMPARE(m_boxes, QStringList());
            QCOMPARE(after.pixelColor(3, 3), QColor(Qt::blue));
        } else {
            QCOMPARE(m_boxes.size(), 1);
            QVERIFY2(m_boxes[0].startsWith(QStringLiteral("エラーです。\r\n\r\nエラーコード：%1　").arg(code)),
                     qPrintable(m_boxes[0]));
            QCOMPARE(after, before);
        }
    }

    // The plug-in file changes while the preview is drawn at every step:
    // from then on nothing is drawn, nothing is said, the ride goes on.
    void aPluginReplacedWhileThePreviewRuns_data()
    {
        QTest::addColumn<Change>("change");
        QTest::newRow("garbage") << Change::Garbage;
        QTest::newRow("deleted") << Change::Delete;
        QTest::newRow("truncated") << Change::Truncate;
        QTest::newRow("emptied") << Change::Empty;
    }
    void aPluginReplacedWhileThePreviewRuns()
    {
        QFETCH(Change, change);
        mdlSndAPI::setMciSender([](const QString &) { return 0; });
        const QString plugin = path(QStringLiteral("ticket.4SP"));
        QFile::remove(plugin);
        QVERIFY(QFile::copy(QStringLiteral(S4_PLUGIN_DIR "/seiriken_barcode.4SP"), plugin));
        frmOption &o = windows::frmOption();
        frmCtl &c = windows::frmCtl();
        const QByteArray answer = cp932::encode(plugin);
        kxp4::substitutes().Kx3FileDlg = [&answer](void *, int32_t, const char *, const char *, const char *) {
            return answer.constData();
        };
        o.Command1_Click();
        kxp4::resetSubstitutes();
        QCOMPARE(forms::text(*o.txtSeiriPlgDir), plugin);
        forms::setCheckValue(*o.chkUseSeiriPrev, 1);

        QVERIFY(put(path(QStringLiteral("12.hy3")), fixture::route(4, [](int i, int) { return 100 + 10 * i; })));
        forms::setText(*o.Text2(0), m_w.dir());
        c.CommandButton1_Click(10);
        c.CommandButton1_Click(1);
        c.CommandButton1_Click(2);
        c.CommandButton1_Click(11);
        c.CommandButton1_Click(1);
        c.Command1_Click(1);
        QCOMPARE(m_boxes, QStringList());
        QImage white(c.previewImage().size(), c.previewImage().format());
        white.fill(Qt::white);
        c.Command2_Click(1);
        QVERIFY(c.previewImage() != white); // the ticket is drawn

        apply(change, plugin);
        c.Command2_Click(1);
        QCOMPARE(c.previewImage(), white);
        QCOMPARE(int(c.ride().route().CurIndex), 2);
        QCOMPARE(windows::Form1().Degit(1)->Value().toString(), QStringLiteral("130"));
        c.Command2_Click(0);
        QCOMPARE(c.previewImage(), white);
        QCOMPARE(m_boxes, QStringList());
    }
};

QTEST_MAIN(TestFaults)
#include "test_faults.moc"
