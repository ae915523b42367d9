#include "WatchedPort.h"

bool WatchedPort::write(int address, quint8 value) {
    if (m_target.portOut(address, value)) {
        ++m_goodWrites;
        return true;
    }
    const QString message = m_target.errorMessage();
    {
        std::lock_guard<std::mutex> lock(m_messageMutex);
        m_lastFailure = message;
    }
    m_failed = true;
    return fail(message);
}

void WatchedPort::reset() {
    m_failed = false;
    m_target.retry();
}

QString WatchedPort::lastFailure() const {
    std::lock_guard<std::mutex> lock(m_messageMutex);
    return m_lastFailure;
}
