#pragma once

#include "SerialDevices.h"
#include "SerialFrames.h"
#include "SerialSettings.h"
#include "output/Port.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

// A relay board on a serial line (USB serial: /dev/ttyUSB*, /dev/ttyACM*). Each frame mirrors the
// twelve pins the parallel port would drive: the data write is remembered, the control write
// publishes the pair as pins (highPins()).
//
// The device is opened at the first control write, on the playback thread: it must be a terminal
// (a character device of sysfs class tty, or a pseudo-terminal, and isatty() on the open
// descriptor); anything else is refused before a byte is written. Opened with O_NOCTTY and
// O_NONBLOCK (so a missing carrier cannot hold up the open; cleared afterwards), exclusive
// (TIOCEXCL and flock), raw 8N1 at the settings' rate, no flow control.
//
// Threads. write() runs on the playback thread and never blocks on the line: it stores the pins
// with a generation in one atomic and wakes the writer, a thread of the port's own that owns every
// write(2) and tcdrain() on the descriptor. The writer sends each new step (lcus: only the relays
// that changed since what the board was last sent; every relay after START or a reopening), waits
// until the line has carried it out (tcdrain, so a slow line skips steps instead of queueing
// seconds of them in the kernel) and, for generic and renard, sends the last frame again after
// ResendInterval without a new step, without any tick. When two or more steps arrive while one
// frame is on the wire, the line is slower than the show: notice() says so once per port.
// A failed write or a hang-up of the line (the board was unplugged: EIO; noticed while a step is
// held too) ends the writer; write() then reports it (the failure latches) and failing() shows it
// at once. retry() closes the line, and the next write
// opens it again.
//
// With Writing::Inline there is no thread: write() sends on the calling thread and resendTick()
// stands in for the writer's timer (tests drive it so, without waiting).
class SerialPort : public Port {
public:
    enum class Writing { Thread, Inline };
    using Notice = std::function<void(const QString&)>;
    static constexpr std::chrono::milliseconds ResendInterval{500};

    // notice: where the once-only remark on a line too slow for the show goes; by default one line
    // on standard error (the player's journal).
    explicit SerialPort(SerialSettings settings, Writing writing = Writing::Thread, SerialRoots roots = {},
                        Notice notice = {});
    ~SerialPort() override; // writes nothing more; a writer stuck on the line is left to end by itself

    const SerialSettings& settings() const { return m_settings; }
    bool failing() const override;
    // Inline only: what the writer does when ResendInterval has passed without a new step.
    void resendTick();

    static QString slowLineText(const SerialSettings& settings);

    struct Line;   // the open descriptor and what the board was sent; shared with the writer
    struct Status; // what the writers tell the port; outlives a writer left to end by itself

protected:
    bool write(int address, quint8 value) override;
    void reset() override;
    void starting() override;

private:
    bool open();
    void close();
    bool failOpen(int error);
    bool failNotTerminal(const QString& what);
    bool failWrite(int error);
    bool failWith(const QString& cause, const QString& remedy, const QString& brief);

    SerialSettings m_settings;
    Writing m_writing;
    SerialRoots m_roots;
    Notice m_notice;
    std::shared_ptr<Line> m_line;
    std::unique_ptr<std::thread> m_writer;
    std::shared_ptr<Status> m_status;
    quint8 m_data = 0;
};
