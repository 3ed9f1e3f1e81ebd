#pragma once
// The longest time the main loop went without a turn, as a timer ticking on it sees it.

#include <QElapsedTimer>
#include <QTimer>

#include <chrono>

class StallWatch
{
public:
    explicit StallWatch(std::chrono::milliseconds tick = std::chrono::milliseconds(1));

    // In milliseconds, since construction or the last restart.
    [[nodiscard]] double longestMs() const { return double(m_longestNs) / 1e6; }
    void restart();

private:
    QTimer m_ticker;
    QElapsedTimer m_sinceTick;
    qint64 m_longestNs = 0;
};
