#include "StepTools.h"

namespace StepTools {

namespace {

// Every tool works on a copy of the boxes and writes back only the boxes whose value changes.
template <typename Change> void edit(StepPattern& boxes, Change change) {
    const EffectGrid before = EffectGrid::fromBoxes(boxes);
    EffectGrid after = before;
    change(after);
    after.writeChangesTo(before, boxes);
}

EffectGrid::Channels rotated(EffectGrid::Channels row, int left) {
    const int right = ChannelCount - left;
    return EffectGrid::Channels((row >> left | row << right) & EffectGrid::AllChannels);
}

void moveRow(EffectGrid& grid, int from, int to) {
    grid.setChannels(to, grid.channels(from));
    grid.setEnabled(to, grid.enabled(from));
}

void clearRow(EffectGrid& grid, int step) {
    grid.setChannels(step, 0);
    grid.setEnabled(step, false);
}

} // namespace

void setAllChannels(StepPattern& boxes, int step, bool on) {
    edit(boxes, [&](EffectGrid& grid) { grid.setChannels(step, on ? EffectGrid::AllChannels : 0); });
}

void invertStep(StepPattern& boxes, int step) {
    edit(boxes, [&](EffectGrid& grid) { grid.setChannels(step, ~grid.channels(step)); });
}

StepRow copyStep(const StepPattern& boxes, int step) {
    return EffectGrid::fromBoxes(boxes).channels(step);
}

void pasteStep(StepPattern& boxes, int step, const StepRow& row) {
    edit(boxes, [&](EffectGrid& grid) { grid.setChannels(step, row); });
}

// Channel 1 is bit 0: towards channel 1 is a shift to the lower bits.
void shiftLeft(StepPattern& boxes, int step) {
    edit(boxes, [&](EffectGrid& grid) { grid.setChannels(step, rotated(grid.channels(step), 1)); });
}

void shiftRight(StepPattern& boxes, int step) {
    edit(boxes,
         [&](EffectGrid& grid) { grid.setChannels(step, rotated(grid.channels(step), ChannelCount - 1)); });
}

void insertStep(StepPattern& boxes, int step) {
    edit(boxes, [&](EffectGrid& grid) {
        for (int to = StepCount; to > step; --to)
            moveRow(grid, to - 1, to);
        clearRow(grid, step);
    });
}

void deleteStep(StepPattern& boxes, int step) {
    edit(boxes, [&](EffectGrid& grid) {
        for (int to = step; to < StepCount; ++to)
            moveRow(grid, to + 1, to);
        clearRow(grid, StepCount);
    });
}

void setAllSteps(StepPattern& boxes, int channel, bool on) {
    edit(boxes, [&](EffectGrid& grid) {
        for (int step = 1; step <= StepCount; ++step)
            grid.setChannel(step, channel, on);
    });
}

void invertChannel(StepPattern& boxes, int channel) {
    edit(boxes, [&](EffectGrid& grid) {
        for (int step = 1; step <= StepCount; ++step)
            grid.setChannel(step, channel, !grid.channel(step, channel));
    });
}

} // namespace StepTools
