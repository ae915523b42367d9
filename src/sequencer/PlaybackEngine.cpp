#include "PlaybackEngine.h"

#include "RealtimePriority.h"
#include "output/Port.h"
#include "output/StepPattern.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <utility>

namespace {

void signalFd(int fd) {
    const uint64_t one = 1;
    while (::write(fd, &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void drainFd(int fd) {
    uint64_t count = 0;
    while (::read(fd, &count, sizeof count) < 0 && errno == EINTR) {
    }
}

} // namespace

PlaybackEngine::PlaybackEngine(StepPattern& boxes, MonitorView& view, Module1& module, Port& port,
                               EngineThreading threading, QObject* parent)
    : QObject(parent), m_boxes(boxes), m_view(view), m_port(port),
      m_threaded(threading == EngineThreading::Thread && IntervalTimer::kernelTimerAvailable()),
      m_sequencer(m_threaded ? static_cast<StepPattern&>(m_enginePattern) : boxes,
                  m_threaded ? static_cast<MonitorView&>(m_enginePattern) : view, module, port, this) {
    connect(&m_sequencer, &Sequencer::portFailed, this, &PlaybackEngine::portFailed);
    if (!m_threaded) {
        // without the kernel timer there is nothing to wait on: play inline
        connect(&m_sequencer, &Sequencer::stepPlayed, this, &PlaybackEngine::stepPlayed);
        return;
    }
    connect(&m_sequencer, &Sequencer::stepPlayed, this, &PlaybackEngine::recordPlayed, Qt::DirectConnection);
    m_engineFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_ownerFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_sequencer.timer().driveExternally();
    // The playback thread starts from empty boxes, as the window does; the owner's boxes may not
    // exist yet.
    m_ownerNotifier = new QSocketNotifier(m_ownerFd, QSocketNotifier::Read, this);
    connect(m_ownerNotifier, &QSocketNotifier::activated, this, &PlaybackEngine::deliver);

    m_thread = std::thread(&PlaybackEngine::run, this);
    std::unique_lock<std::mutex> lock(m_startMutex);
    m_started.wait(lock, [this] { return m_running; });
    lock.unlock();
    if (m_realtime) {
        m_priorityText = QStringLiteral("SCHED_FIFO %1").arg(RealtimePriority::Priority);
        return;
    }
    QString why;
    if (RealtimePriority::askRtkit(m_tid, &why)) {
        m_realtime = true;
        m_priorityText = QStringLiteral("rtkit");
    } else {
        m_priorityText = QStringLiteral("normal (%1)").arg(why);
    }
}

PlaybackEngine::~PlaybackEngine() {
    halt();
    if (m_engineFd >= 0)
        ::close(m_engineFd);
    if (m_ownerFd >= 0)
        ::close(m_ownerFd);
}

void PlaybackEngine::load() {
    m_sequencer.load();
    m_requestedPlaying = false;
}

bool PlaybackEngine::playing() const {
    return m_thread.joinable() ? m_requestedPlaying : m_sequencer.running == 1;
}

void PlaybackEngine::startStop() {
    if (m_halted)
        return;
    if (!m_thread.joinable()) {
        m_sequencer.startStop();
        return;
    }
    m_requestedPlaying = !m_requestedPlaying;
    post(m_toggleRequests);
}

void PlaybackEngine::tickNow() {
    if (m_halted)
        return;
    if (!m_thread.joinable()) {
        m_sequencer.tick();
        return;
    }
    post(m_tickRequests);
}

void PlaybackEngine::retryOutput() {
    if (m_halted)
        return;
    if (!m_thread.joinable()) {
        m_port.retry();
        return;
    }
    post(m_retryRequests);
}

void PlaybackEngine::outputsOff() {
    if (m_halted)
        return;
    if (!m_thread.joinable()) {
        m_sequencer.outputsOff();
        return;
    }
    post(m_offRequests);
}

void PlaybackEngine::rewind() {
    if (m_halted)
        return;
    if (!m_thread.joinable()) {
        m_sequencer.rewind();
        return;
    }
    post(m_rewindRequests);
}

void PlaybackEngine::boxesChanged() {
    if (!m_thread.joinable() || m_publishPending)
        return;
    m_publishPending = true;
    QMetaObject::invokeMethod(this, &PlaybackEngine::publishBoxes, Qt::QueuedConnection);
}

void PlaybackEngine::publishBoxes() {
    if (!m_publishPending)
        return;
    m_publishPending = false;
    m_staging = EffectGrid::fromBoxes(m_boxes);
    m_snapshots.publish(m_staging);
}

// A request sees every box changed before it, like a tick does.
void PlaybackEngine::post(std::atomic<unsigned>& requests) {
    publishBoxes();
    requests.fetch_add(1);
    m_requestsPosted.fetch_add(1);
    signalFd(m_engineFd);
}

void PlaybackEngine::waitIdle() {
    while (m_thread.joinable() && m_requestsDone.load() != m_requestsPosted.load())
        std::this_thread::yield();
}

void PlaybackEngine::halt() {
    if (m_halted)
        return;
    m_halted = true;
    m_sequencer.timer().stop();
    if (m_thread.joinable()) {
        m_quit = true;
        signalFd(m_engineFd);
        m_thread.join();
    }
    m_sequencer.running = 0;
    m_requestedPlaying = false;
}

void PlaybackEngine::run() {
    pthread_setname_np(pthread_self(), "ktr-playback");
    {
        std::lock_guard<std::mutex> lock(m_startMutex);
        m_tid = gettid();
        m_realtime = RealtimePriority::makeCurrentThreadRealtime();
        m_running = true;
    }
    m_started.notify_all();

    pollfd fds[2] = {{m_engineFd, POLLIN, 0}, {m_sequencer.timer().fd(), POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0)
            continue; // EINTR
        if (fds[0].revents & POLLIN) {
            drainFd(m_engineFd);
            if (m_quit)
                return;
            // Requests first: START's writes come before a tick that fell due at the same moment.
            applyRequests();
        }
        if ((fds[1].revents & POLLIN) && m_sequencer.timer().takeExpiration()) {
            m_enginePattern.use(m_snapshots.latest());
            m_sequencer.tick();
            publishToOwner();
        }
    }
}

void PlaybackEngine::applyRequests() {
    // Count what is taken before acting on it, so that waitIdle() returns only after the work.
    const unsigned posted = m_requestsPosted.load();
    if (m_retryRequests.exchange(0) > 0)
        m_port.retry();
    // An off before the toggles: one posted with a STOP may as well go first (no tick comes in
    // between), and one posted before a START must.
    if (m_offRequests.exchange(0) > 0)
        m_sequencer.outputsOff();
    for (unsigned toggles = m_toggleRequests.exchange(0); toggles > 0; --toggles) {
        m_enginePattern.use(m_snapshots.latest());
        m_sequencer.startStop();
    }
    if (m_rewindRequests.exchange(0) > 0)
        m_sequencer.rewind();
    for (unsigned ticks = m_tickRequests.exchange(0); ticks > 0; --ticks) {
        m_enginePattern.use(m_snapshots.latest());
        m_sequencer.tick();
    }
    publishToOwner();
    m_requestsDone.store(posted);
}

// The playback thread's side of the played steps: kept in a ring the owner reads from.
void PlaybackEngine::recordPlayed(int step, quint16 channels) {
    const unsigned written = m_playedWritten.load(std::memory_order_relaxed);
    if (written - m_playedRead.load(std::memory_order_acquire) >= RecentSteps)
        return; // the owner has stalled that long: it gets the newest state, not this step
    m_played[written % RecentSteps] = {step, channels};
    m_playedWritten.store(written + 1, std::memory_order_release);
    m_playedPending = true;
}

void PlaybackEngine::publishToOwner() {
    const int step = m_enginePattern.redStep();
    const quint32 line = m_enginePattern.monitorBits();
    const bool played = std::exchange(m_playedPending, false);
    if (step == m_lastStep && line == m_lastLine && !played)
        return;
    m_lastStep = step;
    m_lastLine = line;
    m_shownStep.store(step, std::memory_order_relaxed);
    m_shownLine.store(line, std::memory_order_release);
    if (!m_wakePending.exchange(true))
        signalFd(m_ownerFd);
}

void PlaybackEngine::deliver() {
    if (m_ownerFd < 0)
        return;
    drainFd(m_ownerFd);
    m_wakePending = false;
    const quint32 line = m_shownLine.load(std::memory_order_acquire);
    const int step = m_shownStep.load(std::memory_order_relaxed);
    if (step != m_appliedStep) {
        m_appliedStep = step;
        for (int k = 1; k <= StepCount; ++k)
            m_boxes.setHighlight(k, k == step);
    }
    if ((line & EnginePattern::HasLine) && line != m_appliedLine) {
        m_appliedLine = line;
        m_view.setMonitorLine(EnginePattern::lineFromBits(line));
    }
    const unsigned written = m_playedWritten.load(std::memory_order_acquire);
    for (unsigned read = m_playedRead.load(std::memory_order_relaxed); read != written; ++read) {
        const PlayedStep played = m_played[read % RecentSteps];
        m_playedRead.store(read + 1, std::memory_order_release);
        emit stepPlayed(played.step, played.channels);
    }
}
