#pragma once

#include "effects/EffectFile.h"
#include "sequencer/SpeedControl.h"

#include <algorithm>
#include <functional>

// The speed bar without a window: clamps to the bar's range, counts the change-handler calls
// that a new value would cause and, given a handler, runs it as the bar runs VScroll1_Change.
class FakeSpeed : public SpeedControl {
public:
    explicit FakeSpeed(int value = 200) : m_value(value) {}
    int value() const override { return m_value; }
    void setValue(int value) override {
        value = std::clamp(value, SpeedMin, SpeedMax);
        if (value == m_value)
            return;
        ++changes;
        m_value = value;
        if (changed)
            changed(value);
    }

    int changes = 0;
    std::function<void(int value)> changed;

private:
    int m_value;
};
