#pragma once

#include "effects/EffectFile.h"
#include "output/StepPattern.h"

// The boxes of the headless player: a parsed effect instead of the window's check boxes. The
// whole effect is swapped between two ticks, so a tick sees either the old one or the new one.
class EffectPattern : public StepPattern {
public:
    EffectPattern() = default;
    explicit EffectPattern(const Effect& effect) : m_effect(effect) {}

    void replace(const Effect& effect) { m_effect = effect; }
    const Effect& effect() const { return m_effect; }

    int channelBox(int step, int channel) const override;
    void setChannelBox(int step, int channel, int value) override;
    int enableBox(int step) const override;
    void setEnableBox(int step, int value) override;
    void setHighlight(int step, bool red) override;

    // The step the last tick played, 0 after an empty tick or before the first.
    int playingStep() const { return m_playing; }

private:
    Effect m_effect;
    int m_playing = 0;
};
