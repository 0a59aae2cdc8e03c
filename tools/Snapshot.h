#pragma once
// What the picture tools share: letting the windows settle, grabbing a
// window as the screen shows it (outside its shape transparent), and the one
// moment every pictured ticket is printed at.
#include "core/WallClock.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QWidget>

namespace snapshot {

// Whatever the day the pictures are drawn, their tickets read the same.
inline void stopTicketClock() { wallclock::stopAt(QDateTime(QDate(2026, 12, 9), QTime(20, 9))); }

inline void waitMs(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
}

inline QImage shot(QWidget &w)
{
    QImage img = w.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const QRegion shape = w.mask();
    if (shape.isEmpty())
        return img;
    // The grab is in device pixels; the shape in logical ones.
    const qreal dpr = img.devicePixelRatio();
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (!shape.contains(QPoint(int(x / dpr), int(y / dpr))))
                img.setPixelColor(x, y, Qt::transparent);
    return img;
}

} // namespace snapshot
