#include "WatchedPort.h"

bool WatchedPort::write(int address, quint8 value) {
    if (m_target.portOut(address, value)) {
        ++m_goodWrites;
        return true;
    }
    m_failed = true;
    return fail(m_target.errorMessage());
}

void WatchedPort::reset() {
    m_failed = false;
    m_target.retry();
}
