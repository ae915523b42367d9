#include "WatchedPort.h"

bool WatchedPort::write(int address, quint8 value) {
    if (m_target.portOut(address, value)) {
        // An output that does not latch its failures comes back by itself: a good write says so.
        if (m_failed.load(std::memory_order_relaxed))
            m_failed = false;
        ++m_goodWrites;
        return true;
    }
    {
        std::lock_guard<std::mutex> lock(m_messageMutex);
        m_lastFailure = m_target.errorMessage();
        m_lastBrief = m_target.errorBrief();
    }
    m_failed = true;
    return failLike(m_target);
}

// START (and the player's retry) reaches the output's own start, failed or not: a DMX output
// patches again there.
void WatchedPort::starting() {
    m_target.retry();
}

void WatchedPort::reset() {
    m_failed = false;
}

QString WatchedPort::lastFailure() const {
    std::lock_guard<std::mutex> lock(m_messageMutex);
    return m_lastFailure;
}

QString WatchedPort::lastBrief() const {
    std::lock_guard<std::mutex> lock(m_messageMutex);
    return m_lastBrief;
}
