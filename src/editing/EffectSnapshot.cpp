#include "EffectSnapshot.h"

#include "sequencer/PlaybackEngine.h"
#include "sequencer/SpeedControl.h"

EffectSnapshot EffectSnapshot::capture(const StepPattern& boxes, const SpeedControl& speedBar,
                                       const PlaybackEngine& engine) {
    EffectSnapshot snapshot;
    snapshot.grid = EffectGrid::fromBoxes(boxes);
    snapshot.grid.setSpeed(engine.storedSpeed());
    snapshot.barValue = speedBar.value();
    return snapshot;
}

void applySnapshotChange(const EffectSnapshot& from, const EffectSnapshot& to, StepPattern& boxes,
                         SpeedControl& speedBar, PlaybackEngine& engine) {
    to.grid.writeChangesTo(from.grid, boxes);
    if (from.sameSpeed(to))
        return;
    // The bar's handler stores the speed and the interval only for a new value; set both anyway,
    // and give back the empty speed of an effect whose speed was never set.
    speedBar.setValue(to.barValue);
    if (engine.interval() != speedBar.value())
        engine.speedChanged(speedBar.value());
    engine.setStoredSpeed(to.grid.speed());
}
