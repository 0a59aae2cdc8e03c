#include "platform/Wait.h"

#include "core/InputHold.h"

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
    const inputhold::Hold hold;
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void paintPending()
{
    const inputhold::Hold hold;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace platform
