#pragma once

#include "effects/EffectGrid.h"
#include "output/StepPattern.h"

// The boxes of the headless player: a grid instead of the window's check boxes. The playing
// thread gets a copy of it as it gets one of the window's boxes.
class EffectPattern : public StepPattern {
public:
    const EffectGrid& grid() const { return m_grid; }

    int channelBox(int step, int channel) const override { return m_grid.channel(step, channel) ? 1 : 0; }
    void setChannelBox(int step, int channel, int value) override {
        m_grid.setChannel(step, channel, value == 1);
    }
    int enableBox(int step) const override { return m_grid.enabled(step) ? 1 : 0; }
    void setEnableBox(int step, int value) override { m_grid.setEnabled(step, value == 1); }
    void setHighlight(int step, bool red) override;

    // The step the last tick played, 0 after an empty tick or before the first.
    int playingStep() const { return m_playing; }

private:
    EffectGrid m_grid;
    int m_playing = 0;
};
