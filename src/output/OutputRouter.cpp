#include "OutputRouter.h"

OutputRouter::OutputRouter(const OutputChoice& choice) : OutputRouter(choice, choice.createPort()) {}

OutputRouter::OutputRouter(const OutputChoice& choice, std::unique_ptr<Port> backend)
    : m_choice(choice), m_backend(std::move(backend)), m_closer([this] { closeRetired(); }) {}

OutputRouter::~OutputRouter() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_ending = true;
    }
    m_retiredReady.notify_one();
    m_closer.join();
}

void OutputRouter::closeRetired() {
    std::unique_lock<std::mutex> lock(m_lock);
    while (true) {
        m_retiredReady.wait(lock, [this] { return m_ending || !m_retired.empty(); });
        std::vector<std::unique_ptr<Port>> closing = std::move(m_retired);
        m_retired.clear();
        const bool ending = m_ending;
        lock.unlock();
        closing.clear(); // each writes nothing as it goes
        lock.lock();
        if (ending && m_retired.empty())
            return;
    }
}

OutputChoice OutputRouter::choice() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_choice;
}

void OutputRouter::choose(const OutputChoice& choice) {
    choose(choice, choice.createPort());
}

void OutputRouter::choose(const OutputChoice& choice, std::unique_ptr<Port> backend) {
    std::unique_ptr<Port> dropped;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_choice = choice;
        dropped = std::move(m_pending);
        m_pending = std::move(backend);
    }
}

bool OutputRouter::choicePending() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_pending != nullptr;
}

bool OutputRouter::failing() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_backend->failing();
}

bool OutputRouter::write(int address, quint8 value) {
    return m_backend->portOut(address, value) || failLike(*m_backend);
}

// The backend was started (and retried, if it had failed) by starting() already.
void OutputRouter::reset() {}

// START, on the playing thread: the backend chosen meanwhile takes over, and the one in use,
// failed or not, is started as it would be without a router (a DMX output patches again).
void OutputRouter::starting() {
    if (choicePending()) {
        // Only this thread swaps the backend, so it may be used here without the lock.
        m_backend->retire();
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_retired.push_back(std::move(m_backend));
            m_backend = std::move(m_pending);
        }
        m_retiredReady.notify_one();
    }
    m_backend->retry();
}

// Asked from the playing thread at a failure and from the window's; START swaps the backend under
// the same lock on the playing thread and the closer destroys the one it leaves.
bool OutputRouter::latchesFailures() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_backend->latchesFailures();
}
