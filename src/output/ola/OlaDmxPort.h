#pragma once

#include "output/Port.h"

#include <array>
#include <cstdint>
#include <memory>
#include <thread>

// DMX through olad, the Open Lighting Architecture daemon. The frame mirrors the twelve pins the
// parallel port would drive: the data write is remembered, the control write publishes the pair,
// and slot address+k-1 holds level where channel k's pin would be high, every other slot 0.
//
// write() only stores the pair in an atomic and wakes the sender thread (an eventfd write): no
// lock, no socket. The sender thread owns the OLA client: it sends each new pair at once, sends
// the last frame again at least once a second, and after a lost or missing olad connects again
// about once a second. Its state reaches write() through an atomic; a failed write is not
// latched, so playback recovers when olad comes back. It never starts an olad of its own.
class OlaDmxPort : public Port {
public:
    static constexpr int FrameSize = 512;
    using Frame = std::array<std::uint8_t, FrameSize>;

    OlaDmxPort(int universe, int address, int level, int olaPort);
    ~OlaDmxPort() override;

    bool failing() const override;
    bool latchesFailures() const override { return false; }

    // The frame for one pair of register bytes.
    static Frame frame(quint8 data, quint8 control, int address, int level);
    static QString failureMessage(int olaPort);

    struct Shared; // between write() and the sender thread

protected:
    bool write(int address, quint8 value) override;

private:
    void start();

    std::shared_ptr<Shared> m_shared;
    std::unique_ptr<std::thread> m_sender;
    QString m_message;
    quint8 m_data = 0;
    bool m_started = false;
};
