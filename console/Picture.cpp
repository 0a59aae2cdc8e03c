#include "console/Picture.h"

#include "core/VbError.h"

#include <QBuffer>
#include <QImageReader>

namespace picture {

QImage decode(QByteArrayView bytes, qint64 maxPixels)
{
    // Read in place: the bytes may be a mapped file of many megabytes.
    QByteArray data = QByteArray::fromRawData(bytes.data(), bytes.size());
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format();
    if (format != "bmp" && format != "gif" && format != "jpeg" && format != "jpg")
        vb::raise(vb::ErrInvalidPicture);
    const QSize size = reader.size();
    if (!size.isValid() || qint64(size.width()) * size.height() > maxPixels)
        vb::raise(vb::ErrInvalidPicture);
    QImage image = reader.read();
    // A decoder may go by another size than its header's; the bound holds for what it made.
    if (image.isNull() || qint64(image.width()) * image.height() > maxPixels)
        vb::raise(vb::ErrInvalidPicture);
    return image;
}

} // namespace picture
