// The backlight picture decoder: only BMP, GIF and JPEG, told by content,
// and a header claiming more pixels than the bound is refused, not decoded.
#include "console/Picture.h"
#include "core/VbError.h"
#include "tests/ErrorOf.h"

#include <QBuffer>
#include <QtEndian>
#include <QtTest>

namespace {

QByteArray saved(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer b(&bytes);
    b.open(QIODevice::WriteOnly);
    image.save(&b, format);
    return bytes;
}

QImage filled(int w, int h)
{
    QImage i(w, h, QImage::Format_RGB32);
    i.fill(Qt::red);
    return i;
}

// A 24-bit BMP whose header claims w x h, with only the pixel bytes given.
QByteArray bmpHeader(int w, int h, const QByteArray &pixels)
{
    QByteArray b("BM");
    auto put = [&b](auto v) {
        char le[sizeof v];
        qToLittleEndian(v, le);
        b.append(le, sizeof v);
    };
    put(uint32_t(54 + pixels.size()));
    put(uint32_t(0));
    put(uint32_t(54));
    put(uint32_t(40));
    put(int32_t(w));
    put(int32_t(h));
    put(uint16_t(1));
    put(uint16_t(24));
    for (int i = 0; i < 6; ++i)
        put(uint32_t(0));
    return b + pixels;
}

const QByteArray kGif = QByteArray::fromHex(
    "47494638396101000100800000000000ffffff21f90401000000002c00000000010001000002024401003b");

} // namespace

class TestPicture : public QObject {
    Q_OBJECT
private slots:
    void decode_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("maxPixels");
        QTest::addColumn<int>("error");
        QTest::addColumn<QSize>("size");
        const qint64 all = picture::kMaxPixels;
        QTest::newRow("bmp") << saved(filled(40, 20), "BMP") << all << 0 << QSize(40, 20);
        QTest::newRow("jpeg") << saved(filled(16, 8), "JPEG") << all << 0 << QSize(16, 8);
        QTest::newRow("gif") << kGif << all << 0 << QSize(1, 1);
        QTest::newRow("png refused") << saved(filled(4, 4), "PNG") << all << 481 << QSize();
        QTest::newRow("text") << QByteArray("this is not a picture") << all << 481 << QSize();
        QTest::newRow("empty") << QByteArray() << all << 481 << QSize();
        QTest::newRow("at the bound") << saved(filled(100, 100), "BMP") << qint64(10000) << 0 << QSize(100, 100);
        QTest::newRow("one pixel over") << saved(filled(100, 100), "BMP") << qint64(9999) << 481 << QSize();
        QTest::newRow("header claims a gigapixel") << bmpHeader(40000, 40000, QByteArray(16, 0)) << all << 481 << QSize();
        QTest::newRow("header claims 2^31 x 2^31")
            << bmpHeader(INT32_MAX, INT32_MAX, QByteArray(16, 0)) << all << 481 << QSize();
    }
    void decode()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, maxPixels);
        QFETCH(int, error);
        QFETCH(QSize, size);
        QImage image;
        QCOMPARE(errorOf([&] { image = picture::decode(bytes, maxPixels); }), error);
        QCOMPARE(image.isNull(), error != 0);
        if (!error)
            QCOMPARE(image.size(), size);
    }
};

QTEST_APPLESS_MAIN(TestPicture)
#include "test_picture.moc"
