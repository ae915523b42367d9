#pragma once

#include "output/StepPattern.h"

#include <QtGlobal>

#include <array>
#include <optional>

class SpeedControl;
class Sequencer;

// Everything an effect file holds, taken from the window at one moment: which boxes are on (only
// a value of 1 counts), the speed bar's value and the stored speed, which stays empty until the bar
// first changes and is written as an empty speed line.
struct EffectSnapshot {
    std::array<quint16, StepCount> rows{}; // bit c - 1 is channel c
    quint32 enables = 0;                   // bit n - 1 is step n
    int barValue = 0;
    std::optional<qint16> speed;

    static EffectSnapshot capture(const StepPattern& boxes, const SpeedControl& speedBar,
                                  const Sequencer& sequencer);

    bool channel(int step, int channel) const { return rows[step - 1] >> (channel - 1) & 1u; }
    bool enable(int step) const { return enables >> (step - 1) & 1u; }
    bool sameBoxes(const EffectSnapshot& other) const {
        return rows == other.rows && enables == other.enables;
    }
    bool sameSpeed(const EffectSnapshot& other) const {
        return barValue == other.barValue && speed == other.speed;
    }
    bool operator==(const EffectSnapshot& other) const { return sameBoxes(other) && sameSpeed(other); }
    bool operator!=(const EffectSnapshot& other) const { return !(*this == other); }
};

// Brings the window from one snapshot to another, writing only the boxes that differ between them,
// and the speed when it differs: through the bar, so that its change handler runs as on a click.
// Boxes that both snapshots agree on are left alone, so changes made outside them survive.
void applySnapshotChange(const EffectSnapshot& from, const EffectSnapshot& to, StepPattern& boxes,
                         SpeedControl& speedBar, Sequencer& sequencer);
