#pragma once

#include "effects/EffectFile.h"
#include "sequencer/SpeedControl.h"

#include <algorithm>
#include <functional>

// The speed bar of the player, which has none: a value in the bar's range whose change handler
// runs, as the bar's does, only when the value really changes.
class PlayerSpeed : public SpeedControl {
public:
    explicit PlayerSpeed(std::function<void(int value)> changed) : m_changed(std::move(changed)) {}
    int value() const override { return m_value; }
    void setValue(int value) override {
        value = std::clamp(value, SpeedMin, SpeedMax);
        if (value == m_value)
            return;
        m_value = value;
        m_changed(value);
    }
    // Back to the start value without running the handler (a new start).
    void reset(int value) { m_value = value; }

private:
    std::function<void(int value)> m_changed;
    int m_value = 200;
};
