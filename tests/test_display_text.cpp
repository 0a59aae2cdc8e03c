// The display rules worked out without widgets: what a fare cell lights,
// and which face and which characters a stop-name unit prints.
#include "panel/ChimeiCtl_A/ChimeiLayout.h"
#include "panel/M_Degit/DegitText.h"

#include <QtTest>

class TestDisplayText : public QObject {
    Q_OBJECT
private slots:
    void numericTextsAndFill()
    {
        // The route number arrives as entered, leading zeros and all.
        QCOMPARE(degit::shownText(QStringLiteral("00012"), 0, 0, 0, 5), QStringLiteral("00012"));
        QCOMPARE(degit::shownText(QStringLiteral("00012"), 0, 3, 0, 5), QStringLiteral("012"));
        QCOMPARE(degit::shownText(QStringLiteral("0"), 0, 0, 0, 4), QString());
        QCOMPARE(degit::shownText(-1, 0, 3, 0, 4), QStringLiteral("-001"));
        QCOMPARE(degit::shownText(2.5, 0, 2, 0, 4), QStringLiteral("03"));
        QCOMPARE(degit::shownText(1.5, 0, 0, 0, 4), QStringLiteral("1.5"));
        QCOMPARE(degit::shownText(123456, 0, 0, 0, 4), QStringLiteral("3456"));
        QCOMPARE(degit::shownText(QStringLiteral("AB"), 3, 0, 0, 4), QStringLiteral("AB")); // never zero
        QCOMPARE(degit::shownText(QStringLiteral(" "), 3, 0, 0, 4), QStringLiteral(" "));
        QCOMPARE(degit::shownText(5, 0, -2, 0, 4), QStringLiteral("5")); // negative fill: none
        QCOMPARE(degit::shownText(5, 0, 0, 0, -1), QString());
    }

    void faceByCodeRange()
    {
        using chimei::Face;
        const auto G = Face::Gothic, M = Face::Mincho;
        struct Case { unsigned code; bool wide; int mode; Face face; };
        const Case cases[] = {
            {0x889F, true, 0, G}, {0x889F, true, -1, G}, {0x889F, true, 5, G}, {0x41, false, 1, M},
            {0x889E, true, 2, M}, {0x889F, true, 2, G}, {0xFA68, true, 2, G}, {0xB1, false, 2, G},
            {0x889E, true, 3, G}, {0x889F, true, 3, M}, {0xB1, false, 3, M},
            {0x824E, true, 4, M}, {0x824F, true, 4, G}, {0x829A, true, 4, G}, {0x829B, true, 4, M},
            {0x41, false, 4, M}, {0x889F, true, 4, M},
        };
        for (const Case &c : cases)
            QVERIFY2(chimei::faceFor(c.code, c.wide, c.mode) == c.face,
                     qPrintable(QString::number(c.code, 16) + " mode " + QString::number(c.mode)));
    }

    // Half of a two-byte character has no glyph: it prints nothing, whichever
    // half it is, and never a stand-in box over its neighbour.
    void printableTextDropsLoneHalves_data()
    {
        QTest::addColumn<QByteArray>("unit");
        QTest::addColumn<QString>("printed");
        QTest::newRow("whole kana") << QByteArray("\x82\xA0") << QStringLiteral("あ");
        QTest::newRow("letter, lone lead") << QByteArray("\x41\x82") << QStringLiteral("A");
        QTest::newRow("lone trail A0, letter") << QByteArray("\xA0\x42") << QStringLiteral("B");
        QTest::newRow("lone trail 80") << QByteArray("\x80\x43") << QStringLiteral("C");
        QTest::newRow("unused bytes FD FE") << QByteArray("\xFD\xFE") << QString();
        QTest::newRow("trail that is a letter") << QByteArray("\x77\x91") << QStringLiteral("w");
        QTest::newRow("half-width kana pair") << QByteArray("\xB6\xDE") << QStringLiteral("ｶﾞ");
    }
    void printableTextDropsLoneHalves()
    {
        QFETCH(QByteArray, unit);
        QFETCH(QString, printed);
        QCOMPARE(chimei::printableText(unit), printed);
    }
};

QTEST_APPLESS_MAIN(TestDisplayText)
#include "test_display_text.moc"
