#include "RecordingPort.h"

bool RecordingPort::portOut(int address, quint8 value) {
    if (address != DataAddress && address != ControlAddress) {
        m_message = refusedAddressMessage(address);
        return false;
    }
    if (!m_failed && !m_fault.isEmpty()) {
        m_failed = true;
        m_message = m_fault;
    }
    if (m_failed)
        return false;
    writes.append({address, value});
    return true;
}

void RecordingPort::retry() {
    ++retries;
    m_failed = false;
}

void RecordingPort::setFault(const QString& message) {
    m_fault = message;
}
