#pragma once

#include "EnginePattern.h"
#include "Sequencer.h"
#include "SnapshotExchange.h"

#include <QObject>
#include <QString>

#include <array>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <sys/types.h>
#include <thread>

class Port;
class QSocketNotifier;
class StepPattern;
class MonitorView;
struct Module1;

enum class EngineThreading {
    // The tick runs on the owner's thread from its event loop and reads and marks the boxes
    // directly. Tests use this to drive the tick by hand.
    Inline,
    // The timer, the tick and every output write run on a thread of their own (real-time where
    // allowed), so nothing the window does can delay a step.
    Thread,
};

// Playback: the one Sequencer (the tick rule, START/STOP, the start values), its Timer1 and the
// output. The owner's thread (the window's or the player's) talks to it only through the
// functions below, and the sequencer is handed out read-only, for a look at its state.
//
// Waiting: the constructor waits until the playback thread runs (and asks rtkit for its
// priority), halt() joins it and waitIdle() waits for it by definition; every other function
// returns without waiting for the playback thread. Without the kernel timer (timerfd) there is no
// playback thread and everything runs on the owner's thread, as with EngineThreading::Inline.
//
// Threaded contract:
// - The owner calls boxesChanged() after every change of a box. The playback thread gets a copy
//   of all of them once the owner's current handler has finished, so a tick that falls due before
//   the owner's event loop runs again still plays the boxes as they were; START and tickNow()
//   always see every change made before them. The playback thread never touches the owner's
//   objects.
// - After each tick and START the playback thread leaves the red step and the monitor line in
//   atomics and wakes the owner's event loop once; the owner then marks `boxes` and fills `view`
//   with the newest state, so a stalled owner catches up at once instead of replaying a backlog.
// - The port is written only by the playback thread from construction until halt().
// - `module` keeps its output values on the playback thread; the owner may use the effect-file
//   fields (effectPath, rowPattern, enablePattern) freely.
class PlaybackEngine : public QObject {
    Q_OBJECT
public:
    PlaybackEngine(StepPattern& boxes, MonitorView& view, Module1& module, Port& port,
                   EngineThreading threading, QObject* parent = nullptr);
    ~PlaybackEngine() override; // halts; writes nothing

    const Sequencer& sequencer() const { return m_sequencer; }
    bool threaded() const { return m_threaded; }

    // Start-up values of the run state and the output state. Writes nothing.
    void load();
    // START when stopped, STOP when playing; START's writes happen at once, before the next tick.
    void startStop();
    // What the last startStop() asked for.
    bool playing() const;
    // The speed bar's change: speed and interval, at once.
    void speedChanged(int value) { m_sequencer.speedChanged(value); }
    // Timer1's interval alone, and the speed as an effect file would store it (empty until the
    // bar first changes): what opening a file and undo put back.
    int interval() const { return m_sequencer.timer().interval(); }
    void setInterval(int milliseconds) { m_sequencer.timer().setInterval(milliseconds); }
    std::optional<qint16> storedSpeed() const { return m_sequencer.speed; }
    void setStoredSpeed(std::optional<qint16> speed) { m_sequencer.speed = speed; }
    // Holds and resumes Timer1 (tests drive the tick by hand meanwhile).
    void pauseTimer() { m_sequencer.timer().stop(); }
    void resumeTimer() { m_sequencer.timer().start(); }
    // The boxes changed. The playback thread gets a copy of all of them once the current handler
    // has finished (so that an Open or a tool that sets many boxes is never played half done),
    // and at the latest before the next START or tickNow().
    void boxesChanged();
    // Opens a failed output afresh at its next write, as START does, without touching playback.
    void retryOutput();
    // Sequencer::outputsOff() and rewind(), in order with START/STOP: an off asked for after a
    // STOP is written after it, and a START asked for after an off comes after that.
    void outputsOff();
    void rewind();
    // Ends playback for good: no tick and no write after this returns.
    void halt();

    // Plays one tick now, as if the timer had fired (tests and tools; the timer keeps its rhythm).
    void tickNow();
    // Waits until the playback thread has carried out every request made before the call.
    void waitIdle();
    // Marks the boxes and fills the view with the newest state now (also done from the event loop).
    void deliver();

    bool realtime() const { return m_realtime.load(); }
    QString priorityText() const { return m_priorityText; }

signals:
    // Every step written to the port, in order, on the owner's thread: its number and the channels
    // the port drives now. Threaded, they come with the owner's next wake-up; should the owner stall
    // for more than RecentSteps steps, the steps played meanwhile are dropped.
    void stepPlayed(int step, quint16 channels);
    // The port could not be written; once per distinct message in a run (Sequencer::portFailed).
    void portFailed(const QString& message, bool latched);

private:
    static constexpr unsigned RecentSteps = 256;
    struct PlayedStep {
        int step;
        quint16 channels;
    };
    void recordPlayed(int step, quint16 channels);

    void run();
    void post(std::atomic<unsigned>& requests);
    void publishToOwner();
    void publishBoxes();
    void applyRequests();

    StepPattern& m_boxes;
    MonitorView& m_view;
    Port& m_port;
    const bool m_threaded;

    EnginePattern m_enginePattern;
    Sequencer m_sequencer;

    EffectGrid m_staging;
    bool m_publishPending = false;
    SnapshotExchange m_snapshots;

    // Requests from the owner, counted so that none is lost or merged.
    std::atomic<unsigned> m_toggleRequests{0};
    std::atomic<unsigned> m_tickRequests{0};
    std::atomic<unsigned> m_retryRequests{0};
    std::atomic<unsigned> m_offRequests{0};
    std::atomic<unsigned> m_rewindRequests{0};
    std::atomic<unsigned> m_requestsPosted{0};
    std::atomic<unsigned> m_requestsDone{0};
    std::atomic<bool> m_quit{false};
    bool m_requestedPlaying = false;
    bool m_halted = false;

    // From the playback thread to the owner.
    std::atomic<int> m_shownStep{0};
    std::atomic<quint32> m_shownLine{0};
    std::atomic<bool> m_wakePending{false};
    int m_lastStep = 0;
    quint32 m_lastLine = 0;
    std::array<PlayedStep, RecentSteps> m_played{};
    std::atomic<unsigned> m_playedWritten{0}; // by the playback thread
    std::atomic<unsigned> m_playedRead{0};    // by the owner
    bool m_playedPending = false;             // the playback thread's: a step not yet announced
    int m_appliedStep = -1;
    quint32 m_appliedLine = 0;

    int m_engineFd = -1; // owner -> playback thread
    int m_ownerFd = -1;  // playback thread -> owner
    QSocketNotifier* m_ownerNotifier = nullptr;

    std::mutex m_startMutex;
    std::condition_variable m_started;
    bool m_running = false;
    pid_t m_tid = 0;
    std::atomic<bool> m_realtime{false};
    QString m_priorityText;
    std::thread m_thread;
};
