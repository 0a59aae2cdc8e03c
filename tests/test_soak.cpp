// The long ride, short: 300 steps, 5 option applies, 5 saves and loads, with
// the long run's checks but for its times, which a busy machine stretches
// (the benchmark reports them; here they are only printed). Memory is not
// judged under a sanitizer, which keeps freed memory back.
#include "bench/Soak.h"
#include "platform/mci/Mci.h"
#include "tests/Fixture.h"

#include <QtTest>

#if defined(__SANITIZE_ADDRESS__)
#define S4_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(undefined_behavior_sanitizer)
#define S4_SANITIZED 1
#endif
#endif

class TestSoak : public QObject {
    Q_OBJECT
    fixture::Windows m_w; // the ride keeps its own seams; the fixture, what is left after it

private slots:
    void init() { m_w.begin(); }
    void cleanup() { m_w.end(); }

    void aShortRideLosesNothing()
    {
        const int decodedBefore = platform::mci::decodeCount();
        const soak::Result r = soak::run({300, 5, 5});
        const int decoded = platform::mci::decodeCount() - decodedBefore;
        qInfo("resident %lld -> %lld KiB, median step %.3f ms, slowest %.3f ms, apply %.3f ms, save+load %.3f ms, "
              "%d sounds decoded",
              r.rssBeforeKb, r.rssAfterKb, r.medianStepMs, r.slowestStepMs, r.slowestApplyMs, r.slowestSaveLoadMs,
              decoded);
        QCOMPARE(r.messages, QStringList());
        QVERIFY(r.reloadIdentical);
        QVERIFY2(r.steps >= 290, qPrintable(QString::number(r.steps))); // the turns at the ends do not move
        QCOMPARE(r.spoken, 300);
        QVERIFY(r.sounds >= 2 * r.steps); // an announcement's sound and a step sound
        QCOMPARE(r.previews, 6);          // every sampled step drew its ticket
        QVERIFY(r.compositions > 30);     // the name scrolled
        // Each of the ten sound files is decoded once and then played from
        // the cache: a step that decoded its sound every time (the slow
        // middle of a ride) shows here on any machine, however busy.
        QVERIFY2(decoded <= 10, qPrintable(QString::number(decoded)));
#ifndef S4_SANITIZED
        if (r.rssBeforeKb > 0)
            QVERIFY2(r.rssAfterKb - r.rssBeforeKb < 5 * 1024, qPrintable(QString::number(r.rssAfterKb - r.rssBeforeKb)));
#endif
    }
};

QTEST_MAIN(TestSoak)
#include "test_soak.moc"
