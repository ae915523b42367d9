#pragma once

#include "output/Port.h"

// Passes every write on to the real output and keeps count, so that the player can tell when a
// failed output has come back: the port itself only says that it failed.
class WatchedPort : public Port {
public:
    explicit WatchedPort(Port& target) : m_target(target) {}

    bool failed() const { return m_failed; }
    quint64 goodWrites() const { return m_goodWrites; }

protected:
    bool write(int address, quint8 value) override;
    void reset() override;

private:
    Port& m_target;
    bool m_failed = false;
    quint64 m_goodWrites = 0;
};
