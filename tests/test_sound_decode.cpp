// Damaged MP3 files as the decoder meets them: each plays what decodes or
// fails with its number, and the decoder writes nothing to the error output.
// The error output of this process is the test's own, so each file is
// decoded in a child (this program again, with --decode) whose stderr is read.
#include "platform/mci/Mci.h"
#include "platform/mci/SoundFile.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>

namespace mci = platform::mci;

namespace {

constexpr int kRate = 44100;

// The child: decodes one file as the MPEG device does and prints the result
// number and the frames decoded.
int decodeOnly(const char *path)
{
    QFile f(QString::fromLocal8Bit(path));
    if (!f.open(QIODevice::ReadOnly))
        return 2;
    const QByteArray data = f.readAll();
    mci::Pcm pcm;
    const int rc = mci::decodeSound(data, mci::Device::Mpeg, kRate, pcm);
    std::printf("%d %zu\n", rc, pcm.frames());
    return 0;
}

QByteArray goodMp3()
{
    QFile f(QStringLiteral(S4_TEST_DATA "/tone660.mp3"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray noise(int size, quint32 seed)
{
    QByteArray b(size, 0);
    QRandomGenerator rng(seed);
    for (char &c : b)
        c = char(rng.bounded(256));
    return b;
}

} // namespace

class TestSoundDecode : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    double m_goodFrames = 0;

private slots:
    void initTestCase()
    {
        mci::Pcm pcm;
        QCOMPARE(mci::decodeSound(goodMp3(), mci::Device::Mpeg, kRate, pcm), 0);
        m_goodFrames = double(pcm.frames());
        QVERIFY(m_goodFrames > 0.5 * kRate);
    }

    void damagedMp3PlaysWhatDecodesQuietly_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("result");
        QTest::addColumn<double>("minShare"); // of the good file's length
        QTest::addColumn<double>("maxShare");
        const QByteArray good = goodMp3();
        QVERIFY(good.size() > 2000);

        QByteArray scattered = good;
        QRandomGenerator rng(5);
        for (int i = 0; i < 200; ++i)
            scattered[400 + rng.bounded(int(good.size()) - 400)] = char(rng.bounded(256));
        QByteArray smeared = good;
        smeared.replace(900, 300, QByteArray(300, '\x21'));

        QTest::newRow("intact") << good << 0 << 0.99 << 1.01;
        QTest::newRow("200 bytes scattered") << scattered << 0 << 0.2 << 1.01;
        QTest::newRow("a run of frames overwritten") << smeared << 0 << 0.3 << 0.95;
        QTest::newRow("cut in a frame") << good.left(good.size() / 2 + 17) << 0 << 0.3 << 0.7;
        QTest::newRow("a frame header, then noise") << good.left(4) + noise(8192, 7) << int(mci::ErrInvalidFile) << 0.0 << 0.0;
        QTest::newRow("an ID3 tag, then noise") << QByteArray::fromHex("49443303000000000100") + QByteArray(128, 0) + noise(8192, 9)
                                                << int(mci::ErrInvalidFile) << 0.0 << 0.0;
        QTest::newRow("noise between good halves") << good.left(1100) + noise(3000, 11) + good.mid(1100) << 0 << 0.9 << 1.6;
    }
    void damagedMp3PlaysWhatDecodesQuietly()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, result);
        QFETCH(double, minShare);
        QFETCH(double, maxShare);
        QVERIFY(m_dir.isValid());
        const QString path = m_dir.filePath(QStringLiteral("%1.mp3").arg(QTest::currentDataTag()));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        f.close();

        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--decode"), path});
        QVERIFY(child.waitForFinished(20000));
        QCOMPARE(child.exitCode(), 0);
        QCOMPARE(QString::fromLocal8Bit(child.readAllStandardError()), QString());
        const QList<QByteArray> answer = child.readAllStandardOutput().trimmed().split(' ');
        QCOMPARE(answer.size(), 2);
        QCOMPARE(answer[0].toInt(), result);
        const double share = answer[1].toDouble() / m_goodFrames;
        QVERIFY2(share >= minShare && share <= maxShare, qPrintable(QString::number(share)));
    }
};

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--decode") == 0)
        return decodeOnly(argv[2]);
    QCoreApplication app(argc, argv);
    TestSoundDecode t;
    return QTest::qExec(&t, argc, argv);
}

#include "test_sound_decode.moc"
