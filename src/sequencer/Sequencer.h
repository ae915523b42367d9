#pragma once

#include "output/Module1.h"
#include "output/OutputMonitor.h"

#include "IntervalTimer.h"
#include <QObject>
#include <QStringList>

#include <atomic>
#include <optional>

class Port;
class StepPattern;

// Playback: the free-running timer, the tick that walks the enabled steps, START/STOP and the
// speed. It owns Timer1, which ticks from construction on and is only ever given a new interval;
// whether a tick does anything depends on `running`.
class Sequencer : public QObject {
    Q_OBJECT
public:
    static constexpr int StartInterval = 200;

    Sequencer(StepPattern& boxes, MonitorView& monitorView, Module1& module, Port& port,
              QObject* parent = nullptr);

    // Start-up values of the run state and of the shared output state. Writes nothing to the port.
    void load();

    // One timer tick. Called by Timer1; tests call it directly.
    void tick();

    // START when stopped, STOP when playing.
    void startStop();

    // The speed bar's change: the new interval in milliseconds, also while playing.
    void speedChanged(int value);

    // Every channel low, written to the port as a step would be (a schedule's pause, after STOP).
    void outputsOff();
    // The next tick plays the first enabled step, as after START but without START's write (a
    // playlist handing over to its next effect at a step boundary).
    void rewind();

    IntervalTimer& timer() { return m_timer; }
    const IntervalTimer& timer() const { return m_timer; }

    // Atomic so that the window may look at them while the tick runs on the playback thread.
    std::atomic<qint16> running{0};
    std::atomic<qint16> currentStep{0};
    std::optional<qint16> speed; // empty until the speed bar first changes; the window's thread only

signals:
    // The port could not be written. Emitted once per distinct message in a program run, however
    // many ticks and STARTs fail after it: the output's own state shows the rest. latched: the
    // output that failed writes nothing more until the next START (else it retries by itself).
    void portFailed(const QString& message, bool latched);
    // A step was just written to the port: its number and the channels the port now drives. On
    // the thread that plays; connect directly to stay off the heap there.
    void stepPlayed(int step, quint16 channels);

private:
    void clearStepHighlight();
    void playStep(int step);
    void sendToPort();

    StepPattern& m_boxes;
    MonitorView& m_monitorView;
    Module1& m_module;
    Port& m_port;
    OutputMonitor m_monitor;
    IntervalTimer m_timer;
    QStringList m_reportedFailures;
    bool m_inTick = false;
    bool m_rewindPending = false;
};
