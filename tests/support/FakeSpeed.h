#pragma once

#include "effects/EffectFile.h"
#include "sequencer/SpeedControl.h"

#include <algorithm>

// The speed bar without a window: clamps to the bar's range and counts the change-handler calls
// that a new value would cause.
class FakeSpeed : public SpeedControl {
public:
    explicit FakeSpeed(int value = 200) : m_value(value) {}
    int value() const override { return m_value; }
    void setValue(int value) override {
        value = std::clamp(value, SpeedMin, SpeedMax);
        if (value != m_value)
            ++changes;
        m_value = value;
    }

    int changes = 0;

private:
    int m_value;
};
