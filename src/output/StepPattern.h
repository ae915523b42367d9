#pragma once

// The effect has exactly one copy: the check boxes of the main window. Logic reaches them only
// through this interface, which the main window implements (and a small fake in the tests), so
// every reader sees the boxes as they are at that moment.
//
// Box values keep the classic check-box convention: 0 unchecked, 1 checked, 2 grayed. Nothing
// here produces 2, and every reader counts a box as on only when its value is exactly 1.

constexpr int StepCount = 22;
constexpr int ChannelCount = 12;

class StepPattern {
public:
    virtual ~StepPattern() = default;

    // step 1..22, channel 1..12
    virtual int channelBox(int step, int channel) const = 0;
    virtual void setChannelBox(int step, int channel, int value) = 0;

    virtual int enableBox(int step) const = 0;
    virtual void setEnableBox(int step, int value) = 0;

    // The enable box's background doubles as the "now playing" marker: red when on.
    virtual void setHighlight(int step, bool red) = 0;
};
