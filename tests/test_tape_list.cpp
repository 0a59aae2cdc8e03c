// The announcement list reader: every input gives lines or a numbered error,
// positions follow the file's lines, and hostile files stay bounded.
#include "core/Cp932.h"
#include "core/VbError.h"
#include "sound/TapeList.h"

#include <QtTest>

using Lines = QList<tape::TapeLine>;
Q_DECLARE_METATYPE(Lines)

namespace {

tape::TapeLine L(const char *text, int step, int sound)
{
    return {QString::fromUtf8(text), int16_t(step), int16_t(sound)};
}

QByteArray sj(const char *utf8) { return cp932::encode(QString::fromUtf8(utf8)); }

} // namespace

class TestTapeList : public QObject {
    Q_OBJECT
private slots:
    void reader_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Lines>("lines");
        QTest::newRow("three lines, CR LF")
            << sj("次は、市役所前です。,1,2\r\n発車します,0,0\r\n終点です,1,3\r\n")
            << Lines{L("次は、市役所前です。", 1, 2), L("発車します", 0, 0), L("終点です", 1, 3)};
        QTest::newRow("last line without its end, LF and CR ends")
            << sj("あ,1,1\nい,0,2\rう,1,0") << Lines{L("あ", 1, 1), L("い", 0, 2), L("う", 1, 0)};
        QTest::newRow("quoted commas, blanks around unquoted fields")
            << sj("  \"次は、市役所前, 終点です\" , 1 ,\t3  \r\n") << Lines{L("次は、市役所前, 終点です", 1, 3)};
        QTest::newRow("blanks inside a quoted field are kept")
            << sj("\"  まもなく  \",0,0") << Lines{L("  まもなく  ", 0, 0)};
        QTest::newRow("text after the closing quote is dropped")
            << sj("\"あ\"い,1,2") << Lines{L("あ", 1, 2)};
        QTest::newRow("a quote inside an unquoted field is text")
            << sj("あ\"い,1,2") << Lines{L("あ\"い", 1, 2)};
        QTest::newRow("blank lines are entries that say nothing")
            << QByteArray("a,1,1\r\n\r\n   \r\nb,0,3\r\n") << Lines{L("a", 1, 1), L("", 0, 0), L("", 0, 0), L("b", 0, 3)};
        QTest::newRow("missing fields read 0, extra fields are ignored")
            << QByteArray("a\nb,1\nc,1,2,3,4\nd,,\n") << Lines{L("a", 0, 0), L("b", 1, 0), L("c", 1, 2), L("d", 0, 0)};
        QTest::newRow("non-numeric or out-of-range flags read 0")
            << QByteArray("a,x,1.5\nb,65537,-32769\nc,\"1\",+2\nd,-1,32767\n")
            << Lines{L("a", 0, 0), L("b", 0, 0), L("c", 1, 2), L("d", -1, 32767)};
        QTest::newRow("a cut two-byte character is marked, not dropped")
            << QByteArray("\x82,1,1") << Lines{{QString(QChar(0xFFFD)), 1, 1}};
    }
    void reader()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(Lines, lines);
        const Lines got = tape::readTapeList(bytes);
        QCOMPARE(got.size(), lines.size());
        for (qsizetype i = 0; i < got.size(); ++i) {
            QCOMPARE(got[i].TapeText, lines[i].TapeText);
            QCOMPARE(got[i].StepFlag, lines[i].StepFlag);
            QCOMPARE(got[i].SoundFlag, lines[i].SoundFlag);
        }
    }

    void refused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("error");
        QTest::newRow("empty file") << QByteArray() << int(vb::ErrInputPastEnd);
        QTest::newRow("quote left open") << QByteArray("a,1,1\n\"b,1,1\nc,0,0\n") << int(vb::ErrInputPastEnd);
        QTest::newRow("quote left open in a flag") << QByteArray("a,1,\"1\n") << int(vb::ErrInputPastEnd);
        QTest::newRow("too many lines") << QByteArray(tape::kMaxLines + 1, '\n') << int(vb::ErrSubscript);
        QTest::newRow("too many bytes, one long line")
            << QByteArray(tape::kMaxBytes + 1, 'a') << int(vb::ErrOutOfMemory);
    }
    void refused()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, error);
        int got = 0;
        try {
            tape::readTapeList(bytes);
        } catch (const vb::Error &e) {
            got = e.number();
        }
        QCOMPARE(got, error);
    }

    // The largest files the reader accepts are read whole and quickly.
    void limits()
    {
        QCOMPARE(tape::readTapeList(QByteArray(tape::kMaxLines, '\n')).size(), tape::kMaxLines);
        const Lines one = tape::readTapeList(QByteArray(tape::kMaxBytes, 'a'));
        QCOMPARE(one.size(), 1);
        QCOMPARE(one[0].TapeText.size(), tape::kMaxBytes);
    }
};

QTEST_APPLESS_MAIN(TestTapeList)
#include "test_tape_list.moc"
