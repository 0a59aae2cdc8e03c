#include "platform/Wait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

namespace platform {

void pauseFor(int ms)
{
    if (ms <= 0 || !QCoreApplication::instance()) {
        if (ms > 0)
            QThread::msleep(ulong(ms));
        else
            QThread::yieldCurrentThread();
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

} // namespace platform
