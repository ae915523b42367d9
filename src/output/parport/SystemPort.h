#pragma once

#include "output/Port.h"

#include <memory>

// The port main() wires in: ppdev when the device node exists, else (for /dev/parport0 only)
// direct I/O on x86.
// The choice is made at the first write and made again after a failure, at the next START.
class SystemPort : public Port {
public:
    explicit SystemPort(QString device = QStringLiteral("/dev/parport0"));
    ~SystemPort() override;

protected:
    bool write(int address, quint8 value) override;
    // The module may have been loaded, the permission granted or the device come back meanwhile.
    void reset() override { m_backend.reset(); }

private:
    QString m_device;
    std::unique_ptr<Port> m_backend;
};
