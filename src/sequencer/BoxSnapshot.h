#pragma once

#include "output/StepPattern.h"

#include <QtGlobal>

#include <array>
#include <atomic>

// A copy of every box value (0, 1 or 2, as the boxes hold them), handed from the thread that owns
// the boxes to the playback thread.
struct BoxSnapshot {
    std::array<std::array<quint8, ChannelCount>, StepCount> channels{};
    std::array<quint8, StepCount> enables{};

    void readFrom(const StepPattern& boxes);
};

// Passes snapshots from one writer thread to one reader thread without locks or waiting (a triple
// buffer): the writer never blocks the reader's tick, and the reader always gets the newest
// complete snapshot, never a mix of two.
class SnapshotExchange {
public:
    // Writer only.
    void publish(const BoxSnapshot& snapshot);
    // Reader only: the newest published snapshot; it stays valid and unchanged until the next call.
    const BoxSnapshot& latest();

private:
    static constexpr int Fresh = 4;
    std::array<BoxSnapshot, 3> m_buffers{};
    std::atomic<int> m_middle{1};
    int m_back = 0;  // the writer's
    int m_front = 2; // the reader's
};
