// The decoded-sound cache on its own: what it keeps, what goes first.
#include "platform/mci/SoundCache.h"

#include <QtTest>

using platform::mci::Pcm;
using platform::mci::SoundCache;

namespace {

SoundCache::Key key(const char *path, qint64 mtime = 1)
{
    return {QString::fromLatin1(path), 100, mtime, 0, 44100};
}

SoundCache::Entry sound(size_t frames)
{
    auto p = std::make_shared<Pcm>();
    p->resize(frames);
    return {0, p};
}

} // namespace

class TestSoundCache : public QObject {
    Q_OBJECT

private slots:
    void keepsWithinItsLimitLeastRecentlyUsedFirst()
    {
        SoundCache c(3 * 400); // three sounds of 100 frames (400 bytes each)
        c.insert(key("a"), sound(100));
        c.insert(key("b"), sound(100));
        c.insert(key("c"), sound(100));
        QVERIFY(c.find(key("a"))); // a is now the most recent
        c.insert(key("d"), sound(100));
        QVERIFY(!c.find(key("b")));
        QVERIFY(c.find(key("a")) && c.find(key("c")) && c.find(key("d")));
        QCOMPARE(c.bytes(), 3 * 400);

        // Another modification time is another file; the same key replaces.
        QVERIFY(!c.find(key("a", 2)));
        c.insert(key("a"), sound(50));
        QCOMPARE(c.bytes(), 2 * 400 + 200);
        QCOMPARE(c.size(), 3);

        // A sound larger than the whole limit is not kept, and pushes nothing out.
        c.insert(key("huge"), sound(1000));
        QVERIFY(!c.find(key("huge")));
        QCOMPARE(c.size(), 3);

        // Failures cost nothing but still count against the number of entries.
        SoundCache few(1 << 20, 2);
        few.insert(key("x"), {296, nullptr});
        few.insert(key("y"), {296, nullptr});
        few.insert(key("z"), sound(10));
        QCOMPARE(few.size(), 2);
        QVERIFY(!few.find(key("x")));
        QCOMPARE(few.find(key("y"))->error, 296);

        // A smaller limit evicts at once; a held sound outlives its entry.
        const std::shared_ptr<const Pcm> held = c.find(key("d"))->pcm;
        c.setLimit(0);
        QCOMPARE(c.size(), 0);
        QCOMPARE(held->frames(), size_t(100));
    }
};

QTEST_MAIN(TestSoundCache)
#include "test_sound_cache.moc"
