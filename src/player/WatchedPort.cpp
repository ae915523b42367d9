#include "WatchedPort.h"

bool WatchedPort::write(int address, quint8 value) {
    if (m_target.portOut(address, value)) {
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

void WatchedPort::reset() {
    m_failed = false;
    m_target.retry();
}

QString WatchedPort::lastFailure() const {
    std::lock_guard<std::mutex> lock(m_messageMutex);
    return m_lastFailure;
}

QString WatchedPort::lastBrief() const {
    std::lock_guard<std::mutex> lock(m_messageMutex);
    return m_lastBrief;
}
