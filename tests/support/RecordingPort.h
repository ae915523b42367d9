#pragma once

#include "output/Port.h"

#include <QList>
#include <QPair>

// Test double: records every write in order instead of touching hardware, and can be told to fail.
class RecordingPort : public Port {
public:
    using Write = QPair<int, quint8>;

    // Makes every write fail from now on (until the fault is cleared and START retries).
    void setFault(const QString& message) { m_fault = message; }
    void clearFault() { m_fault.clear(); }
    // false: like an output that reconnects by itself, a failure does not stop later writes.
    void setLatching(bool latching) { m_latching = latching; }
    bool latchesFailures() const override { return m_latching; }

    QList<Write> writes;
    int retries = 0; // how often a failed port was retried

protected:
    bool write(int address, quint8 value) override;
    void reset() override { ++retries; }

private:
    QString m_fault;
    bool m_latching = true;
};
