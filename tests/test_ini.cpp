// The settings file's byte stream: its fixed layout, texts as counted code
// page 932 bytes, and a reader that takes whatever a file holds.
#include "core/Cp932.h"
#include "core/IniData.h"

#include <QRandomGenerator>
#include <QtEndian>
#include <QtTest>

namespace {

// Gives every field a value of its own, so a swapped or skipped field shows.
IniData distinctRecord()
{
    IniData d;
    int n = 1;
    ini::visitFields(d, [&n](const char *, auto &field) {
        using T = std::decay_t<decltype(field)>;
        if constexpr (std::is_same_v<T, QString>)
            field = QStringLiteral("路線%1～").arg(n);
        else if constexpr (std::is_same_v<T, int16_t>)
            field = int16_t(n % 3 == 0 ? -1 : n);
        else
            field = int32_t(0x00010000 * n + n);
        ++n;
    });
    for (int i = 0; i < 17; ++i)
        d.CustomColors[size_t(i)] = 0x00102030 + i;
    for (int i = 0; i < 60; ++i)
        d.DegitOpt[size_t(i)] = {int16_t(i % 4), int16_t(i % 8), int16_t(i % 10)};
    return d;
}

QStringList differences(const IniData &a, const IniData &b)
{
    QStringList diff;
    QList<QVariant> left;
    ini::visitFields(a, [&left](const char *, const auto &f) { left << QVariant::fromValue(f); });
    int i = 0;
    ini::visitFields(b, [&](const char *name, const auto &f) {
        if (left[i++] != QVariant::fromValue(f))
            diff << QString::fromLatin1(name);
    });
    if (a.CustomColors != b.CustomColors)
        diff << QStringLiteral("CustomColors");
    for (int k = 0; k < 60; ++k) {
        const auto &x = a.DegitOpt[size_t(k)], &y = b.DegitOpt[size_t(k)];
        if (x.Shift != y.Shift || x.ZeroMode != y.ZeroMode || x.FillZero != y.FillZero)
            diff << QStringLiteral("DegitOpt %1").arg(k + 1);
    }
    return diff;
}

template<typename T>
T at(const QByteArray &b, int offset)
{
    return qFromLittleEndian<T>(b.constData() + offset);
}

} // namespace

class TestIni : public QObject {
    Q_OBJECT
private slots:
    void layoutWithEmptyTexts()
    {
        IniData d;
        d.UseSeiriNumAuto = 1;
        d.DegitBackColor = 0x00808080;
        d.PanelTop = -15;
        d.CustomColors[16] = 0x00FFFFFF;
        d.DegitOpt[59] = {1, 2, 3};
        const QByteArray b = ini::writeIni(d);
        QCOMPARE(b.size(), 598);
        QCOMPARE(at<int16_t>(b, 4), int16_t(1));          // after two empty texts
        QCOMPARE(at<int32_t>(b, 44), int32_t(0x00808080)); // the digit colours
        QCOMPARE(at<int32_t>(b, 164), int32_t(-15));       // the panel's top, last of the positions
        QCOMPARE(at<int32_t>(b, 232), int32_t(0x00FFFFFF)); // the last custom colour
        QCOMPARE(at<int16_t>(b, 236), int16_t(60));        // the triple count
        QCOMPARE(at<int16_t>(b, 592), int16_t(1));         // Degit(60): Shift, ZeroMode, FillZero
        QCOMPARE(at<int16_t>(b, 594), int16_t(2));
        QCOMPARE(at<int16_t>(b, 596), int16_t(3));
    }

    void textIsCountedCodePage932()
    {
        IniData d;
        d.FareDataDir = QStringLiteral("A運賃表");
        const QByteArray b = ini::writeIni(d);
        QCOMPARE(b.size(), 605);
        QCOMPARE(at<uint16_t>(b, 0), uint16_t(7));
        QCOMPARE(b.mid(2, 7), cp932::encode(QStringLiteral("A運賃表")));
        QCOMPARE(ini::readIni(b).FareDataDir, QStringLiteral("A運賃表"));
    }

    // A text longer than the 16-bit count holds is cut before the character
    // that would not fit whole, never inside it.
    void anOverlongTextIsCutOnACharacter_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("count");
        QTest::newRow("all kanji") << QString(40000, u'運') << 65534;
        QTest::newRow("a kanji across the limit") << QString(65534, u'a') + u'運' << 65534;
        QTest::newRow("a kanji just fits") << QString(65533, u'a') + u'運' << 65535;
        QTest::newRow("all ASCII") << QString(70000, u'a') << 65535;
    }
    void anOverlongTextIsCutOnACharacter()
    {
        QFETCH(QString, text);
        QFETCH(int, count);
        IniData d;
        d.TapeDataDir = text;
        d.UseSeiriNumAuto = 1;
        const IniData back = ini::readIni(ini::writeIni(d));
        QCOMPARE(int(cp932::encode(back.TapeDataDir).size()), count);
        QVERIFY(!back.TapeDataDir.contains(QChar::ReplacementCharacter));
        QVERIFY(text.startsWith(back.TapeDataDir));
        QCOMPARE(back.UseSeiriNumAuto, int16_t(1)); // the fields after it are where they were
    }

    void everyFieldSurvivesARoundTrip()
    {
        const IniData d = distinctRecord();
        QCOMPARE(differences(ini::readIni(ini::writeIni(d)), d), QStringList());
    }

    void storedTripleCountIsIgnored()
    {
        const IniData d = distinctRecord();
        QByteArray b = ini::writeIni(d);
        const qsizetype countAt = b.size() - 60 * 6 - 2;
        for (int16_t stored : {int16_t(0), int16_t(5), int16_t(-1), int16_t(32767)}) {
            qToLittleEndian(stored, b.data() + countAt);
            QCOMPARE(differences(ini::readIni(b), d), QStringList());
        }
    }

    // A short file yields zeros and empty texts for what is missing.
    void shortFilesReadWhatIsThere()
    {
        const IniData d = distinctRecord();
        const QByteArray b = ini::writeIni(d);
        QCOMPARE(differences(ini::readIni({}), IniData{}), QStringList());
        const IniData firstText = ini::readIni(b.left(5)); // a count and 3 of its bytes
        QCOMPARE(firstText.FareDataDir, cp932::decode(b.mid(2, 3)));
        QCOMPARE(firstText.TapeDataDir, QString());
        const IniData most = ini::readIni(b.chopped(2)); // the last FillZero is missing
        QCOMPARE(int(most.DegitOpt[59].FillZero), 0);
        QCOMPARE(int(most.DegitOpt[59].ZeroMode), int(d.DegitOpt[59].ZeroMode));
    }

    void anyBytesAreReadSafely()
    {
        QRandomGenerator rng(427);
        for (int i = 0; i < 2000; ++i) {
            QByteArray b(int(rng.bounded(2000)), Qt::Uninitialized);
            for (char &c : b)
                c = char(rng.bounded(256));
            const IniData d = ini::readIni(b);
            QVERIFY(d.FareDataDir.size() <= b.size());
        }
    }
};

QTEST_APPLESS_MAIN(TestIni)
#include "test_ini.moc"
