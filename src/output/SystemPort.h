#pragma once

#include "Port.h"

#include <memory>

// The port main() wires in: ppdev when the device node exists, else direct I/O on x86.
// The choice is made at the first write and made again after a failure, at the next START.
class SystemPort : public Port {
public:
    explicit SystemPort(QString device = QStringLiteral("/dev/parport0"));
    ~SystemPort() override;

    bool portOut(int address, quint8 value) override;
    QString errorMessage() const override;
    void retry() override;

private:
    QString m_device;
    std::unique_ptr<Port> m_backend;
    bool m_failed = false;
};
