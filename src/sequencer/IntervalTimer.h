#pragma once

#include <QObject>
#include <QTimer>

#include <atomic>

class QSocketNotifier;

// The sequencer's periodic timer. QTimer rounds every wait up to a whole millisecond, which
// makes a 2 ms rhythm stumble by up to half its length. This one is a kernel timer on the
// monotonic clock (timerfd), armed with a fixed period: ticks stay on one grid, never drift, and
// wake within microseconds. A tick that comes too late to be handled on time is dropped, not
// made up with a burst. Where timerfd is missing it falls back to a precise QTimer.
class IntervalTimer : public QObject {
    Q_OBJECT
public:
    explicit IntervalTimer(QObject* parent = nullptr);
    ~IntervalTimer() override;

    int interval() const { return m_interval; }
    // Like QTimer: a running timer starts counting the new interval from now. 0 stops the ticks.
    void setInterval(int milliseconds);
    void start();
    void stop();
    bool isActive() const { return m_active; }
    Qt::TimerType timerType() const { return Qt::PreciseTimer; }
    bool usesKernelTimer() const { return m_fd >= 0; }
    // Whether this system gives the kernel timer (it always should on Linux).
    static bool kernelTimerAvailable();

    // For a thread of its own that waits on fd() itself instead of this object's event loop.
    // From then on timeout() is never emitted; the owner calls takeExpiration() when fd() is
    // readable. setInterval(), start() and stop() may then be called from any one other thread.
    void driveExternally();
    int fd() const { return m_fd; }
    // True when at least one period has expired since the last call (a late tick is not repeated).
    bool takeExpiration();

signals:
    void timeout();

private:
    void arm();
    void expired();

    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    QTimer m_fallback;
    std::atomic<int> m_interval{0};
    std::atomic<bool> m_active{false};
    bool m_external = false;
};
