#pragma once

#include "output/Port.h"

#include <atomic>
#include <mutex>

// Passes every write on to the real output and keeps count, so that the player can tell when a
// failed output has come back: the port itself only says that it failed. failed() holds from a
// failed write until a good one or a retry, for outputs that latch their failures and those that
// recover by themselves alike. Written on the playback thread; failed(), goodWrites() and
// lastFailure() may be asked from any thread.
class WatchedPort : public Port {
public:
    explicit WatchedPort(Port& target) : m_target(target) {}

    bool failed() const { return m_failed; }
    quint64 goodWrites() const { return m_goodWrites; }
    QString lastFailure() const;
    // Its few words for the status line.
    QString lastBrief() const;
    // A DMX output keeps being written while olad is away, and comes back by itself.
    bool latchesFailures() const override { return m_target.latchesFailures(); }

protected:
    bool write(int address, quint8 value) override;
    void starting() override;
    void reset() override;

private:
    Port& m_target;
    std::atomic<bool> m_failed{false};
    std::atomic<quint64> m_goodWrites{0};
    mutable std::mutex m_messageMutex; // taken only when a write fails
    QString m_lastFailure;
    QString m_lastBrief;
};
