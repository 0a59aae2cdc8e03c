// The reading step that feeds the speech voice: kanji words become their
// pronunciation, particles sound as spoken, and what the voice already reads
// (kana, numbers, punctuation, Latin letters) keeps its sound.
#include "platform/speech/Reading.h"

#include <QtTest>

class TestReading : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(speech::loadReadingDictionary(), "no MeCab dictionary (mecab-ipadic-utf8)"); }

    void reading_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("said");
        const auto row = [](const char *name, const char *text, const char *said) {
            QTest::newRow(name) << QString::fromUtf8(text) << QString::fromUtf8(said);
        };
        row("the announcement", "次は、市役所前です。", "ツギワ、シヤクショマエデス。");
        row("へ as a particle", "駅へ行きます", "エキエイキマス");
        row("は and へ inside words stay", "母は部屋へ", "ハハワヘヤエ");
        row("long vowels", "東京駅", "トーキョーエキ");
        row("digits kept", "12番のバス", "12バンノバス");
        row("full-width digits read as a number", "１２番と3番", "12バント3バン");
        row("kana kept", "つぎ、バスが とまります", "ツギ、バスガ トマリマス");
        row("Latin letters kept", "JR線", "JRセン");
        row("empty", "", "");
    }
    void reading()
    {
        QFETCH(QString, text);
        QFETCH(QString, said);
        QCOMPARE(speech::reading(text), said);
    }

    // Long text is read in pieces, cut at pauses, and nothing is lost at their seams.
    void longText()
    {
        QString text, said;
        for (int i = 0; i < 300; ++i) {
            text += QStringLiteral("市役所前です、");
            said += QStringLiteral("シヤクショマエデス、");
        }
        QCOMPARE(speech::reading(text), said);
        const QString astral = QString(600, u'あ') + QString::fromUcs4(U"\U0002000B") + QStringLiteral("。");
        QVERIFY(speech::reading(astral).endsWith(QString::fromUcs4(U"\U0002000B") + QStringLiteral("。")));
    }
};

QTEST_APPLESS_MAIN(TestReading)
#include "test_reading.moc"
