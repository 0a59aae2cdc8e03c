// Foundation pieces: code page 932 text and the stored-text limit, numbered errors and their report,
// the helper-library loader, property bags and the window region.
#include "core/Cp932.h"
#include "core/KXP4Res.h"
#include "core/PropertyBag.h"
#include "core/StoredText.h"
#include "core/VbError.h"
#include "platform/EventGuard.h"
#include "platform/MsgBox.h"
#include "platform/Region.h"
#include "platform/Units.h"

#include <QtTest>

class TestCore : public QObject {
    Q_OBJECT
private slots:
    void cp932RoundTripsJapaneseText()
    {
        const QString text = QStringLiteral("国際センター駅前（北口）～ｱｲｳ ABC");
        const QByteArray bytes = cp932::encode(text);
        QCOMPARE(cp932::decode(bytes), text);
        // FULLWIDTH TILDE is 0x8160 in the Windows code page, not WAVE DASH.
        QCOMPARE(cp932::encode(QStringLiteral("～")), QByteArray("\x81\x60"));
        QCOMPARE(cp932::decode(QByteArray("\x81\x60")), QStringLiteral("～"));
        QCOMPARE(cp932::encode(QStringLiteral("駅")).size(), 2);
        QCOMPARE(cp932::encode(QStringLiteral("ｱ")).size(), 1);
    }

    void cp932PremapsLookAlikesAndMarksTheRest()
    {
        // Characters the code page holds under another code point.
        QCOMPARE(cp932::encode(QString(QChar(0x301C))), QByteArray("\x81\x60"));
        QCOMPARE(cp932::encode(QString(QChar(0x2212))), QByteArray("\x81\x7C"));
        QCOMPARE(cp932::encode(QString(QChar(0x2014))), QByteArray("\x81\x5C"));
        QCOMPARE(cp932::encode(QString(QChar(0x00A5))), QByteArray("\\"));
        // What it cannot hold becomes '?', never the broken pair FC FC.
        QCOMPARE(cp932::encode(QStringLiteral("A한B")), QByteArray("A?B"));
        // A trail byte FC (U+25EF is 81 FC) before an unmappable character
        // must not be taken for the start of the marker.
        QCOMPARE(cp932::encode(QString(QChar(0x25EF)) + QStringLiteral("한")), QByteArray("\x81\xFC?"));
    }

    // The single bytes the converter of the platform gets wrong, and the
    // neighbours of each, map one to one both ways.
    void cp932SingleBytes_data()
    {
        QTest::addColumn<int>("byte");
        QTest::addColumn<int>("unicode");
        for (int b : {0x00, 0x1A, 0x1C, 0x5C, 0x7E, 0x7F})
            QTest::addRow("%02X", b) << b << b;
        QTest::newRow("80") << 0x80 << 0x0080;
        QTest::newRow("A0") << 0xA0 << 0xF8F0;
        QTest::newRow("A1") << 0xA1 << 0xFF61;
        QTest::newRow("DF") << 0xDF << 0xFF9F;
        QTest::newRow("FD") << 0xFD << 0xF8F1;
        QTest::newRow("FE") << 0xFE << 0xF8F2;
        QTest::newRow("FF") << 0xFF << 0xF8F3;
    }
    void cp932SingleBytes()
    {
        QFETCH(int, byte);
        QFETCH(int, unicode);
        const QByteArray b(1, char(byte));
        QCOMPARE(cp932::decode(b), QString(QChar(char16_t(unicode))));
        QCOMPARE(cp932::encode(QString(QChar(char16_t(unicode)))), b);
    }

    void cp932EveryByteAndEveryTwoByteCodeRoundTrips()
    {
        QByteArray singles;
        for (int b = 0; b < 256; ++b)
            if (!cp932::isLeadByte(uchar(b)))
                singles.append(char(b));
        QCOMPARE(cp932::decode(singles).size(), singles.size());
        QCOMPARE(cp932::encode(cp932::decode(singles)), singles);

        int assigned = 0, shared = 0;
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            if (!cp932::isLeadByte(uchar(lead)))
                continue;
            for (int trail = 0; trail < 256; ++trail) {
                const QByteArray pair = QByteArray(1, char(lead)) + char(trail);
                const QString text = cp932::decode(pair);
                const bool canTrail = trail >= 0x40 && trail <= 0xFC && trail != 0x7F;
                if (!canTrail) { // the lead stands alone; the other byte is read by itself
                    QCOMPARE(text, QChar(QChar::ReplacementCharacter) + cp932::decode(pair.last(1)));
                    continue;
                }
                QCOMPARE(text.size(), 1);
                if (text[0] == QChar::ReplacementCharacter)
                    continue;
                ++assigned;
                const QByteArray back = cp932::encode(text);
                QCOMPARE(back.size(), 2);
                if (back != pair) { // a character with two codes comes back under the one Windows writes
                    ++shared;
                    QCOMPARE(cp932::decode(back), text);
                }
            }
        }
        // Windows' table: 7724 codes of characters and 1880 user-defined, of
        // which 398 codes repeat a character held elsewhere.
        QCOMPARE(assigned, 7724 + 1880);
        QCOMPARE(shared, 398);
    }

    void cp932DecodesACutCharacterVisibly()
    {
        const QByteArray cut("\x89\x77", 1); // the lead byte of 駅 alone
        const QString s = cp932::decode(cut);
        QCOMPARE(s, QString(QChar(0xFFFD)));
        QCOMPARE(cp932::decode(QByteArray("A\x89", 2)), QStringLiteral("A") + QChar(0xFFFD));
    }

    // Edits against a limit of 10 bytes: 駅 takes two, A and ｱ one, and a
    // character outside the code page one ('?').
    void storedTextKeepsWhatFits_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("cursor");
        QTest::addColumn<QString>("kept"); // empty: refused
        QTest::addColumn<int>("keptCursor");
        const QString emoji = QString::fromUcs4(U"\U0001F68C");
        QTest::newRow("fits") << "駅駅駅" << "駅駅駅AAAA" << 10 << "駅駅駅AAAA" << 10;
        QTest::newRow("typed past the end") << "駅駅駅駅駅" << "駅駅駅駅駅A" << 6 << "" << 0;
        QTest::newRow("two-byte into one free byte") << "駅駅駅駅A" << "駅駅駅駅A駅" << 6 << "" << 0;
        QTest::newRow("paste cut between characters") << "AAAAA" << "AA駅駅駅AAA" << 5 << "AA駅駅AAA" << 4;
        QTest::newRow("paste over a selection") << "AAAAAAAAAA" << "A駅駅駅駅駅駅A" << 7 << "A駅駅駅駅A" << 5;
        QTest::newRow("same letters typed before the cursor") << "AAAAAAAAA" << "AAAAAAAAAAAA" << 3
                                                              << "AAAAAAAAAA" << 1;
        QTest::newRow("shrinking an overlong text") << "AAAAAAAAAAAA" << "AAAAAAAAAAA" << 11 << "AAAAAAAAAAA" << 11;
        QTest::newRow("pair never split") << "AAAAAAAA" << "AAAAAAAA" + emoji + emoji + emoji << 14
                                          << "AAAAAAAA" + emoji + emoji << 12;
        QTest::newRow("half-width kana are one byte") << "" << "ｱｲｳｴｵｶｷｸｹｺｻ" << 11 << "ｱｲｳｴｵｶｷｸｹｺ" << 10;
    }
    void storedTextKeepsWhatFits()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(int, cursor);
        QFETCH(QString, kept);
        QFETCH(int, keptCursor);
        const storedtext::Edit e = storedtext::fit(before, after, cursor, 10);
        QCOMPARE(e.refused, kept.isEmpty());
        QCOMPARE(e.cut, kept != after);
        if (kept.isEmpty())
            return;
        QCOMPARE(e.text, kept);
        QCOMPARE(e.cursor, keptCursor);
        QVERIFY(storedtext::byteCount(e.text) <= 10 || e.text.size() < before.size());
    }
    void storedTextCountsCodePage932Bytes()
    {
        QCOMPARE(storedtext::byteCount(QStringLiteral("系統12ｱ")), 7);
        QCOMPARE(storedtext::kMaxBytes, 65535);
    }

    void errorsCarryNumberAndDescription()
    {
        try {
            vb::raise(vb::ErrFileNotFound);
            QFAIL("no error raised");
        } catch (const vb::Error &e) {
            QCOMPARE(e.number(), 53);
            QCOMPARE(e.description(), QStringLiteral("ファイルが見つかりません。"));
        }
        QCOMPARE(vb::Error(481, QStringLiteral("x")).description(), QStringLiteral("x"));
    }

    void guardedHandlerShowsTheGeneralReport()
    {
        QList<platform::MsgBoxRequest> shown;
        platform::setMsgBoxHandler([&](const platform::MsgBoxRequest &r) {
            shown << r;
            return int(platform::vbOK);
        });
        QVERIFY(platform::guarded([] {}));
        QVERIFY(shown.isEmpty());
        QVERIFY(!platform::guarded([] { vb::raise(76); }));
        QVERIFY(!platform::guarded([] { throw std::runtime_error("boom"); }));
        platform::setMsgBoxHandler({});
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0].title, QStringLiteral("ソラトビVer4"));
        QVERIFY(shown[0].prompt.startsWith(QStringLiteral("実行時エラー '76':")));
        QVERIFY(shown[0].prompt.contains(QStringLiteral("パスが見つかりません。")));
        QVERIFY(shown[0].buttons & platform::vbCritical);
        QVERIFY(shown[1].prompt.startsWith(QStringLiteral("実行時エラー '51':")));
    }

    void helperLibraryFailsAtTheCallWhenMissing()
    {
        kxp4::setLibraryPath(QStringLiteral("/nonexistent/folder/KXP4Res"));
        try {
            kxp4::LenB_ASCII(QStringLiteral("駅前"));
            QFAIL("a missing library must fail the call");
        } catch (const vb::Error &e) {
            QCOMPARE(e.number(), 53);
            QVERIFY(e.description().contains(QStringLiteral("KXP4Res")));
        }
        // A library without the export fails with the entry-point error.
        kxp4::setLibraryPath(QStringLiteral("libm.so.6"));
        try {
            kxp4::GetOsInfo();
            QFAIL("a missing export must fail the call");
        } catch (const vb::Error &e) {
            QCOMPARE(e.number(), 453);
            QVERIFY(e.description().contains(QStringLiteral("GetOsInfo")));
        }
        // Back beside the executable, the same call works.
        kxp4::setLibraryPath({});
        QCOMPARE(kxp4::LenB_ASCII(QStringLiteral("駅前A")), 5);
    }

    void helperSubstitutesSeeLibraryLevelArguments()
    {
        QByteArray seenText;
        kxp4::substitutes().Call_dlg110 = [&](void *, int32_t kind, const char *text) {
            seenText = QByteArray(text);
            return kind;
        };
        QCOMPARE(kxp4::Call_dlg110(nullptr, 1, QStringLiteral("ソラトビ～")), 1);
        QCOMPARE(seenText, cp932::encode(QStringLiteral("ソラトビ～")));
        kxp4::resetSubstitutes();
    }

    void propertyBagOmitsDefaults()
    {
        PropertyBag bag;
        bag.WriteProperty(QStringLiteral("Keta"), 4, 4);
        bag.WriteProperty(QStringLiteral("Shift"), 2, 0);
        bag.WriteProperty(QStringLiteral("Value"), QStringLiteral("0"), QVariant::fromValue<int16_t>(0));
        bag.WriteProperty(QStringLiteral("Count"), QVariant::fromValue<int16_t>(0), 0);
        QVERIFY(!bag.contains(QStringLiteral("Keta")));
        QVERIFY(!bag.contains(QStringLiteral("Count"))); // 0 is 0 in any width
        QCOMPARE(bag.ReadProperty(QStringLiteral("Shift"), 0).toInt(), 2);
        QCOMPARE(bag.ReadProperty(QStringLiteral("Value"), 0).toString(), QStringLiteral("0"));
        QCOMPARE(bag.ReadProperty(QStringLiteral("Keta"), 4).toInt(), 4);
    }

    void roundRegionCutsOnlyTheCorners()
    {
        const QRegion r = platform::roundRectRegion(0, 0, 710, 284, 12, 12);
        QCOMPARE(r.boundingRect(), QRect(0, 0, 710, 284));
        for (const QPoint p : {QPoint(0, 0), QPoint(709, 0), QPoint(0, 283), QPoint(709, 283), QPoint(1, 1)})
            QVERIFY2(!r.contains(p), qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));
        for (const QPoint p : {QPoint(6, 0), QPoint(703, 0), QPoint(0, 6), QPoint(355, 142), QPoint(3, 3), QPoint(706, 280)})
            QVERIFY2(r.contains(p), qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));
        QVERIFY(!r.contains(QPoint(710, 100))); // right edge excluded
        QVERIFY(platform::roundRectRegion(0, 0, 0, 10, 12, 12).isEmpty());
        // Away from the origin the corners name the rectangle, the far ones excluded.
        const QRegion key = platform::roundRectRegion(2, 2, 28, 25, 2, 2);
        QCOMPARE(key.boundingRect(), QRect(QPoint(2, 2), QPoint(27, 24)));
        QVERIFY(!key.contains(QPoint(28, 10)) && !key.contains(QPoint(10, 25)) && !key.contains(QPoint(1, 10)));
    }

    void twipsAndColours()
    {
        QCOMPARE(platform::twipsToPixels(2781), 185); // 185.4
        QCOMPARE(platform::twipsToPixels(3627), 242); // 241.8
        QCOMPARE(platform::twipsToPixels(-7), 0);
        QCOMPARE(platform::twipsToPixels(-8), -1);
        QCOMPARE(platform::rgb(248, 210, 114), 7525112u);
        QCOMPARE(platform::fromOle(48895), QColor(255, 190, 0));
        QCOMPARE(platform::toOle(QColor(128, 128, 128)), 8421504u);
    }
};

QTEST_MAIN(TestCore)
#include "test_core.moc"
