#include "StallWatch.h"

#include <algorithm>

StallWatch::StallWatch(std::chrono::milliseconds tick)
{
    m_ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_ticker, &QTimer::timeout, [this] {
        m_longestNs = std::max(m_longestNs, m_sinceTick.nsecsElapsed());
        m_sinceTick.start();
    });
    restart();
    m_ticker.start(tick);
}

void StallWatch::restart()
{
    m_longestNs = 0;
    m_sinceTick.start();
}
