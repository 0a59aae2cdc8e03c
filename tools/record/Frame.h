#pragma once
// A recorded frame from a grab of the panel: each pixel a square of scale x
// scale, outside the board's round shape black, centred on a screen of the
// given size when there is one. The same for a live grab and a recording.
#include <QImage>
#include <QPainter>

namespace record {

struct Picture {
    int scale = 1;
    QSize screen; // empty: the panel alone
};

inline QImage compose(const QImage &grab, const Picture &pic)
{
    const QSize board = grab.size() * pic.scale;
    QImage out(pic.screen.isEmpty() ? board : pic.screen, QImage::Format_RGB32);
    out.fill(Qt::black);
    QPainter p(&out);
    const QPoint at((out.width() - board.width()) / 2, (out.height() - board.height()) / 2);
    p.drawImage(at, pic.scale == 1 ? grab : grab.scaled(board, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    return out;
}

} // namespace record
