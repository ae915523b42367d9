#include "SystemPort.h"

#include "DirectIoPort.h"
#include "PpdevPort.h"

#include <QFileInfo>

SystemPort::SystemPort(QString device) : m_device(std::move(device)) {}

SystemPort::~SystemPort() = default;

bool SystemPort::write(int address, quint8 value) {
    if (!m_backend) {
#if defined(__x86_64__) || defined(__i386__)
        // 0x378 is the first port's address: another device that is missing is reported as such.
        if (!QFileInfo::exists(m_device) && m_device == QLatin1String("/dev/parport0"))
            m_backend = std::make_unique<DirectIoPort>();
        else
#endif
            m_backend = std::make_unique<PpdevPort>(m_device);
    }
    return m_backend->portOut(address, value) || fail(m_backend->errorMessage());
}
