#pragma once

#include "output/Port.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <thread>

// DMX through olad, the Open Lighting Architecture daemon. The frame mirrors the twelve pins the
// parallel port would drive: the data write is remembered, the control write publishes the pair,
// and slot address+k-1 holds level where channel k's pin would be high, every other slot 0.
//
// write() only stores the pair in an atomic and wakes the sender thread (an eventfd write): no
// lock, no socket. The sender thread keeps one connection to olad (an OlaSession): it sends each
// new pair at once and the last frame again at least once a second; after a lost or missing olad
// it connects again without blocking, a quarter of a second later at first and backing off to
// once a second. Its state reaches write() through an atomic; a failed write is not latched, so
// playback recovers when olad comes back. It never starts an olad of its own.
//
// On the sender thread, never on the tick's path, olad is also asked whether the universe
// reaches an output port: right after each connection, at each START and every few seconds.
// That round trip also tells an olad that stopped reading from a live one: an answer 2 s late is
// reported, and then waited for on the same connection rather than replaced by new ones olad
// would have to work through later, so the frames go on the moment olad answers again, however
// long it stalled. Before the check the port given by --ola-patch (or chosen in the dialog) is
// patched to the universe. A universe that reaches nothing is reported, but its frames are still
// sent, so that a patch made elsewhere lights the show at once.
class OlaDmxPort : public Port {
public:
    static constexpr int FrameSize = 512;
    using Frame = std::array<std::uint8_t, FrameSize>;

    // patch: "DEVICE:PORT" to patch to the universe at each START and connection, or empty.
    OlaDmxPort(int universe, int address, int level, int olaPort, const QString& patch = QString());
    ~OlaDmxPort() override;

    // olad unreachable or stalled, the universe reaching no device, or the patch impossible.
    bool failing() const override;
    // olad answers, but the universe reaches no output port.
    bool reachesNoDevice() const;
    bool latchesFailures() const override { return false; }

    // The frame for one pair of register bytes.
    static Frame frame(quint8 data, quint8 control, int address, int level);
    static OutputFailure failureMessage(int olaPort);
    static OutputFailure noDeviceMessage(int universe);
    static OutputFailure patchFailureMessage(const QString& patch, int universe);

    struct Shared; // between write() and the sender thread

protected:
    bool write(int address, quint8 value) override;
    void starting() override;

private:
    void start();

    std::shared_ptr<Shared> m_shared;
    std::unique_ptr<std::thread> m_sender;
    OutputFailure m_message;
    OutputFailure m_noDeviceMessage;
    OutputFailure m_patchMessage;
    quint8 m_data = 0;
    bool m_started = false;
};
