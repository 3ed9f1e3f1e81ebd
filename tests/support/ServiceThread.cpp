#include "ServiceThread.h"

ServiceThread::ServiceThread(const std::function<void(StandInService &)> &setUp)
{
    m_context.moveToThread(&m_thread);
    m_thread.start();
    QMetaObject::invokeMethod(
        &m_context,
        [this] {
            m_service = std::make_unique<StandInService>();
            if (m_service->start())
                m_apiUrl = m_service->apiUrl();
        },
        Qt::BlockingQueuedConnection);
    if (setUp)
        run(setUp);
}

ServiceThread::~ServiceThread()
{
    QMetaObject::invokeMethod(
        &m_context, [this] { m_service.reset(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void ServiceThread::run(const std::function<void(StandInService &)> &fn)
{
    QMetaObject::invokeMethod(
        &m_context, [this, &fn] { fn(*m_service); }, Qt::BlockingQueuedConnection);
}
