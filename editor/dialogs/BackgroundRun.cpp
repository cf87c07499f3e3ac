#include "BackgroundRun.h"

#include <QCoreApplication>
#include <QThreadPool>

namespace tavix {

void BackgroundRun::start(Work work)
{
    stop();
    m_stop = std::stop_source();
    QThreadPool* pool = QThreadPool::globalInstance();
    // A reserved thread starts even when the pool is full of runs winding down.
    pool->reserveThread();
    pool->startOnReservedThread(
        [work = std::move(work), token = m_stop.get_token()] { work(token); });
}

void BackgroundRun::stop()
{
    if (m_stop.stop_possible())
        m_stop.request_stop();
}

void BackgroundRun::post(const QPointer<QObject>& receiver, std::function<void()> report)
{
    // Sent by way of the application, which outlives every window: the receiver itself may
    // be deleted on its thread at any moment, and is looked at only there.
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(
        app,
        [receiver, report = std::move(report)] {
            if (receiver)
                report();
        },
        Qt::QueuedConnection);
}

} // namespace tavix
