#pragma once

#include <QString>
#include <QtGlobal>

#include <array>
#include <atomic>

struct Module1;

// What keeps an output from its device, for the user: which output and device, why, and what to
// do about it. Each front end adds its own ending (the window goes on on screen until the next
// START, the player retries every second).
struct OutputFailure {
    static inline const QString ParallelPort = QStringLiteral("A párhuzamos port");

    OutputFailure(QString output, QString device, QString cause, QString remedy, QString brief = QString())
        : output(std::move(output)), device(std::move(device)), cause(std::move(cause)),
          remedy(std::move(remedy)), brief(std::move(brief)) {}

    QString output; // "A párhuzamos port", "A DMX-kimenet", …
    QString device;
    QString cause;
    QString remedy;
    QString brief; // a few words for a status line; empty: the output is not available

    // Hungarian, in paragraphs: "OUTPUT nem használható: DEVICE", "Ok: …", "Teendő: …".
    QString text() const;

    // Whether this program has the window's menus and settings dialogs. The player, which has
    // not, clears it at its start, before any output exists; remedies name them only where
    // they are.
    static inline std::atomic<bool> windowAvailable{true};
    static QString inWindowOrNot(const QString& window, const QString& commandLine) {
        return windowAvailable ? window : commandLine;
    }
};

// The one place where the program touches hardware.
//
// Contract:
// - Writes come in pairs, the data register (888) first, then the control register (890): from
//   writePorts() for every played step and START, and from decorators passing them on (the router,
//   the player's watch). No other address is ever accepted.
// - A backend opens its device lazily, at the first write, so start-up and editing never need a
//   port. It keeps the device open until it is destroyed, and writes nothing when destroyed: the
//   outputs keep the last values.
// - After a failure the backend stays failed and writes nothing more (no repeated failing system
//   calls on every tick) until retry(), which START calls; the next write then starts afresh.
//   A backend that recovers by itself (DMX) says so in latchesFailures() and is written on.
// - Threads: portOut(), retry() and retire() come from the one thread that plays (the tick and
//   START), never from two at once; portOut() must be cheap and never block. failing() may be asked
//   from any thread (the menu shows it).
class Port {
public:
    static constexpr int DataAddress = 888;
    static constexpr int ControlAddress = 890;

    virtual ~Port() = default;

    // Writes one byte to the register at address. Returns false when the byte did not reach the
    // port; errorMessage() then says, for the user, what failed, why and what to do, without the
    // front end's ending.
    bool portOut(int address, quint8 value);
    QString errorMessage() const { return m_message; }
    // The failure's few words for a status line.
    QString errorBrief() const { return m_brief; }
    // START calls this: a port that failed is opened afresh at the next write.
    void retry();
    // The playing thread calls this when it leaves the port for good, before another thread
    // destroys it: whatever the system gave that thread alone (direct I/O permission) is given
    // back here, where it can be.
    void retire() { retiring(); }
    // Whether the output is known not to reach its device right now.
    virtual bool failing() const { return m_failed.load(std::memory_order_relaxed); }
    // false: a failed write does not stop the next ones (the backend recovers by itself).
    virtual bool latchesFailures() const { return true; }

protected:
    // The backend's write; address is always DataAddress or ControlAddress here. On failure it
    // returns fail(message).
    virtual bool write(int address, quint8 value) = 0;
    // Called by retry() after a failure: drop whatever failed.
    virtual void reset() {}
    // Called by retry() first, failed or not.
    virtual void starting() {}
    // Called by retire(), on the playing thread.
    virtual void retiring() {}
    bool fail(const QString& message);
    bool fail(const OutputFailure& failure);
    // A decorator passes on the failure of the port it writes to.
    bool failLike(const Port& inner);

private:
    QString m_message;
    QString m_brief;
    std::atomic<bool> m_failed{false};
};

// Sends dataValue to dataPort, then controlValue to controlPort, keeping the byte copies in
// module. Both registers are written every time, changed or not. Returns false if the port failed.
bool writePorts(Module1& module, Port& port);

QString refusedAddressMessage(int address);

// Which of the twelve connector pins a pair of register bytes drives high, channel 1 first
// (channelsOfRegisters() as an array). Outputs that mirror the pins (DMX, GPIO) start from this.
std::array<bool, 12> highPins(quint8 data, quint8 control);
