#pragma once

#include "Port.h"

#include <QList>
#include <QPair>

// Test double: records every write in order instead of touching hardware, and can be told to fail.
class RecordingPort : public Port {
public:
    using Write = QPair<int, quint8>;

    bool portOut(int address, quint8 value) override;
    QString errorMessage() const override { return m_message; }
    void retry() override;

    // Makes every write fail from now on (until retry() and a cleared fault).
    void setFault(const QString& message);
    void clearFault() { m_fault.clear(); }

    QList<Write> writes;
    int retries = 0;

private:
    QString m_fault;
    QString m_message;
    bool m_failed = false;
};
