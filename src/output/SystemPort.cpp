#include "SystemPort.h"

#include "DirectIoPort.h"
#include "PpdevPort.h"

#include <QFileInfo>

SystemPort::SystemPort(QString device) : m_device(std::move(device)) {}

SystemPort::~SystemPort() = default;

bool SystemPort::portOut(int address, quint8 value) {
    if (!m_backend) {
#if defined(__x86_64__) || defined(__i386__)
        if (!QFileInfo::exists(m_device))
            m_backend = std::make_unique<DirectIoPort>();
        else
#endif
            m_backend = std::make_unique<PpdevPort>(m_device);
    }
    const bool ok = m_backend->portOut(address, value);
    m_failed = m_failed || !ok;
    return ok;
}

QString SystemPort::errorMessage() const {
    return m_backend ? m_backend->errorMessage() : QString();
}

void SystemPort::retry() {
    // A backend that failed is dropped, so the next write chooses again (the module may have been
    // loaded, the permission granted or the device come back meanwhile).
    if (m_failed)
        m_backend.reset();
    m_failed = false;
}
