#include "BoxSnapshot.h"

void BoxSnapshot::readFrom(const StepPattern& boxes) {
    for (int step = 1; step <= StepCount; ++step) {
        for (int channel = 1; channel <= ChannelCount; ++channel)
            channels[step - 1][channel - 1] = static_cast<quint8>(boxes.channelBox(step, channel));
        enables[step - 1] = static_cast<quint8>(boxes.enableBox(step));
    }
}

void SnapshotExchange::publish(const BoxSnapshot& snapshot) {
    m_buffers[m_back] = snapshot;
    m_back = m_middle.exchange(m_back | Fresh, std::memory_order_acq_rel) & 3;
}

const BoxSnapshot& SnapshotExchange::latest() {
    if (m_middle.load(std::memory_order_relaxed) & Fresh)
        m_front = m_middle.exchange(m_front, std::memory_order_acq_rel) & 3;
    return m_buffers[m_front];
}
