#pragma once

#include "Port.h"

#include <QList>
#include <QPair>

// Test double: records every write in order instead of touching hardware, and can be told to fail.
class RecordingPort : public Port {
public:
    using Write = QPair<int, quint8>;

    // Makes every write fail from now on (until the fault is cleared and START retries).
    void setFault(const QString& message) { m_fault = message; }
    void clearFault() { m_fault.clear(); }

    QList<Write> writes;
    int retries = 0; // how often a failed port was retried

protected:
    bool write(int address, quint8 value) override;
    void reset() override { ++retries; }

private:
    QString m_fault;
};
