#pragma once

#include "OutputChoice.h"
#include "Port.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// The port the window plays to: forwards every write to the backend of the current choice. A
// new choice is taken up at the next START (retry()), so a running show is never switched under
// the tick, and the tick's writes never take a lock. The backend it leaves is closed on a thread
// of the router's own: closing may wait (a DMX output on a stalled olad), the playback thread
// must not.
class OutputRouter : public Port {
public:
    explicit OutputRouter(const OutputChoice& choice);
    // Tests hand in the backend themselves.
    OutputRouter(const OutputChoice& choice, std::unique_ptr<Port> backend);
    ~OutputRouter() override;

    // The choice made last (whether or not START has taken it up yet). Any thread.
    OutputChoice choice() const;
    // Makes choice the output from the next START on. Any thread.
    void choose(const OutputChoice& choice);
    void choose(const OutputChoice& choice, std::unique_ptr<Port> backend);
    // Whether START has taken up the last choice; failing() is about the output in use.
    bool choicePending() const;

    bool failing() const override;
    bool latchesFailures() const override;

protected:
    bool write(int address, quint8 value) override;
    void reset() override;
    void starting() override;

private:
    void closeRetired();

    mutable std::mutex m_lock; // guards the pending choice and the swap, never held by write()
    OutputChoice m_choice;     // the last one chosen
    std::unique_ptr<Port> m_pending;
    std::unique_ptr<Port> m_backend;
    std::vector<std::unique_ptr<Port>> m_retired; // left at START, for the closer
    std::condition_variable m_retiredReady;
    bool m_ending = false;
    std::thread m_closer;
};
