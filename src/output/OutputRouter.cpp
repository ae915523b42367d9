#include "OutputRouter.h"

OutputRouter::OutputRouter(const OutputChoice& choice) : OutputRouter(choice, choice.createPort()) {}

OutputRouter::OutputRouter(const OutputChoice& choice, std::unique_ptr<Port> backend)
    : m_choice(choice), m_backend(std::move(backend)) {}

OutputRouter::~OutputRouter() = default;

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
    return m_backend->portOut(address, value) || fail(m_backend->errorMessage());
}

void OutputRouter::reset() {
    m_backend->retry();
}

void OutputRouter::starting() {
    std::unique_ptr<Port> old;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!m_pending)
            return;
        old = std::move(m_backend);
        m_backend = std::move(m_pending);
    }
    // The old backend goes outside the lock; it writes nothing when it goes.
}

bool OutputRouter::latchesFailures() const {
    return m_backend->latchesFailures();
}
