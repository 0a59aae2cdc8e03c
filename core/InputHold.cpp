#include "core/InputHold.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <deque>

namespace inputhold {

namespace {

int g_depth = 0;
std::deque<std::function<void()>> g_queue;
bool g_drainPosted = false;

void drain();

void postDrain()
{
    if (g_drainPosted || g_queue.empty() || !QCoreApplication::instance())
        return;
    g_drainPosted = true;
    QMetaObject::invokeMethod(QCoreApplication::instance(), drain, Qt::QueuedConnection);
}

// From the event loop, once no wait is running: what an action starts may
// hold input again, and the rest then waits for that wait.
void drain()
{
    g_drainPosted = false;
    while (!g_queue.empty() && g_depth == 0) {
        std::function<void()> action = std::move(g_queue.front());
        g_queue.pop_front();
        action();
    }
}

} // namespace

Hold::Hold() { ++g_depth; }

Hold::~Hold()
{
    if (--g_depth == 0)
        postDrain();
}

bool held() { return g_depth > 0; }

void runOrDefer(std::function<void()> action)
{
    if (g_depth == 0 && g_queue.empty()) {
        action();
        return;
    }
    g_queue.push_back(std::move(action));
    if (g_depth == 0)
        postDrain();
}

} // namespace inputhold
