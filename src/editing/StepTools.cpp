#include "StepTools.h"

namespace StepTools {

namespace {

bool isOn(int value) {
    return value == 1;
}

void setChannel(StepPattern& boxes, int step, int channel, bool on) {
    if (isOn(boxes.channelBox(step, channel)) != on)
        boxes.setChannelBox(step, channel, on ? 1 : 0);
}

void setEnable(StepPattern& boxes, int step, bool on) {
    if (isOn(boxes.enableBox(step)) != on)
        boxes.setEnableBox(step, on ? 1 : 0);
}

// Copies row from (channels and enable box) onto row to.
void moveRow(StepPattern& boxes, int from, int to) {
    pasteStep(boxes, to, copyStep(boxes, from));
    setEnable(boxes, to, isOn(boxes.enableBox(from)));
}

void clearRow(StepPattern& boxes, int step) {
    setAllChannels(boxes, step, false);
    setEnable(boxes, step, false);
}

} // namespace

void setAllChannels(StepPattern& boxes, int step, bool on) {
    for (int channel = 1; channel <= ChannelCount; ++channel)
        setChannel(boxes, step, channel, on);
}

void invertStep(StepPattern& boxes, int step) {
    for (int channel = 1; channel <= ChannelCount; ++channel)
        setChannel(boxes, step, channel, !isOn(boxes.channelBox(step, channel)));
}

StepRow copyStep(const StepPattern& boxes, int step) {
    StepRow row{};
    for (int channel = 1; channel <= ChannelCount; ++channel)
        row[channel - 1] = isOn(boxes.channelBox(step, channel));
    return row;
}

void pasteStep(StepPattern& boxes, int step, const StepRow& row) {
    for (int channel = 1; channel <= ChannelCount; ++channel)
        setChannel(boxes, step, channel, row[channel - 1]);
}

void shiftLeft(StepPattern& boxes, int step) {
    const StepRow row = copyStep(boxes, step);
    StepRow shifted{};
    for (int i = 0; i < ChannelCount; ++i)
        shifted[i] = row[(i + 1) % ChannelCount];
    pasteStep(boxes, step, shifted);
}

void shiftRight(StepPattern& boxes, int step) {
    const StepRow row = copyStep(boxes, step);
    StepRow shifted{};
    for (int i = 0; i < ChannelCount; ++i)
        shifted[(i + 1) % ChannelCount] = row[i];
    pasteStep(boxes, step, shifted);
}

void insertStep(StepPattern& boxes, int step) {
    for (int to = StepCount; to > step; --to)
        moveRow(boxes, to - 1, to);
    clearRow(boxes, step);
}

void deleteStep(StepPattern& boxes, int step) {
    for (int to = step; to < StepCount; ++to)
        moveRow(boxes, to + 1, to);
    clearRow(boxes, StepCount);
}

void setAllSteps(StepPattern& boxes, int channel, bool on) {
    for (int step = 1; step <= StepCount; ++step)
        setChannel(boxes, step, channel, on);
}

void invertChannel(StepPattern& boxes, int channel) {
    for (int step = 1; step <= StepCount; ++step)
        setChannel(boxes, step, channel, !isOn(boxes.channelBox(step, channel)));
}

} // namespace StepTools
