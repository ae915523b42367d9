#pragma once

#include "effects/EffectGrid.h"

#include <array>
#include <atomic>

// Passes copies of the boxes from one writer thread to one reader thread without locks or waiting
// (a triple buffer): the writer never blocks the reader's tick, and the reader always gets the
// newest complete grid, never a mix of two.
class SnapshotExchange {
public:
    // Writer only.
    void publish(const EffectGrid& grid);
    // Reader only: the newest published grid; it stays valid and unchanged until the next call.
    const EffectGrid& latest();

private:
    static constexpr int Fresh = 4;
    std::array<EffectGrid, 3> m_buffers{};
    std::atomic<int> m_middle{1};
    int m_back = 0;  // the writer's
    int m_front = 2; // the reader's
};
