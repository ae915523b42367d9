#include "SnapshotExchange.h"

void SnapshotExchange::publish(const EffectGrid& grid) {
    m_buffers[m_back] = grid;
    m_back = m_middle.exchange(m_back | Fresh, std::memory_order_acq_rel) & 3;
}

const EffectGrid& SnapshotExchange::latest() {
    if (m_middle.load(std::memory_order_relaxed) & Fresh)
        m_front = m_middle.exchange(m_front, std::memory_order_acq_rel) & 3;
    return m_buffers[m_front];
}
