#pragma once

#include "output/Port.h"

#include <memory>

// The port main() wires in for a parallel-port device: ppdev, or direct I/O on the first port's
// registers when the device value asks for it (DirectIoPort::isRequested).
// The backend is made at the first write and made afresh after a failure, at the next START.
class SystemPort : public Port {
public:
    explicit SystemPort(QString device = QStringLiteral("/dev/parport0"));
    ~SystemPort() override;

protected:
    bool write(int address, quint8 value) override;
    // The module may have been loaded, the permission granted or the device come back meanwhile.
    // Closing the old backend also gives back a direct I/O permission.
    void reset() override { m_backend.reset(); }

private:
    QString m_device;
    std::unique_ptr<Port> m_backend;
};
