#include "SystemPort.h"

#include "DirectIoPort.h"
#include "PpdevPort.h"

SystemPort::SystemPort(QString device) : m_device(std::move(device)) {}

SystemPort::~SystemPort() = default;

bool SystemPort::write(int address, quint8 value) {
    if (!m_backend) {
        if (DirectIoPort::isRequested(m_device))
            m_backend = std::make_unique<DirectIoPort>();
        else
            m_backend = std::make_unique<PpdevPort>(m_device);
    }
    return m_backend->portOut(address, value) || fail(m_backend->errorMessage());
}
