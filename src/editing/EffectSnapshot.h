#pragma once

#include "effects/EffectGrid.h"

class PlaybackEngine;
class SpeedControl;

// What undo keeps of the window at one moment: the boxes and the stored speed as a grid (only a
// box of value 1 is on; the speed stays empty until the bar first changes and is written as an
// empty speed line), and the speed bar's value.
struct EffectSnapshot {
    EffectGrid grid;
    int barValue = 0;

    static EffectSnapshot capture(const StepPattern& boxes, const SpeedControl& speedBar,
                                  const PlaybackEngine& engine);

    bool sameBoxes(const EffectSnapshot& other) const { return grid.sameBoxes(other.grid); }
    bool sameSpeed(const EffectSnapshot& other) const {
        return barValue == other.barValue && grid.speed() == other.grid.speed();
    }
    bool operator==(const EffectSnapshot& other) const { return sameBoxes(other) && sameSpeed(other); }
    bool operator!=(const EffectSnapshot& other) const { return !(*this == other); }
};

// Brings the window from one snapshot to another, writing only the boxes that differ between them,
// and the speed when it differs: through the bar, so that its change handler runs as on a click.
// Boxes that both snapshots agree on are left alone, so changes made outside them survive.
void applySnapshotChange(const EffectSnapshot& from, const EffectSnapshot& to, StepPattern& boxes,
                         SpeedControl& speedBar, PlaybackEngine& engine);
