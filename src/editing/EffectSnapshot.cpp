#include "EffectSnapshot.h"

#include "sequencer/Sequencer.h"

#include "sequencer/SpeedControl.h"

EffectSnapshot EffectSnapshot::capture(const StepPattern& boxes, const SpeedControl& speedBar,
                                       const Sequencer& sequencer) {
    EffectSnapshot snapshot;
    for (int step = 1; step <= StepCount; ++step) {
        quint16 row = 0;
        for (int channel = 1; channel <= ChannelCount; ++channel) {
            if (boxes.channelBox(step, channel) == 1)
                row |= quint16(1u << (channel - 1));
        }
        snapshot.rows[step - 1] = row;
        if (boxes.enableBox(step) == 1)
            snapshot.enables |= 1u << (step - 1);
    }
    snapshot.barValue = speedBar.value();
    snapshot.speed = sequencer.speed;
    return snapshot;
}

void applySnapshotChange(const EffectSnapshot& from, const EffectSnapshot& to, StepPattern& boxes,
                         SpeedControl& speedBar, Sequencer& sequencer) {
    for (int step = 1; step <= StepCount; ++step) {
        const quint16 changed = from.rows[step - 1] ^ to.rows[step - 1];
        for (int channel = 1; changed && channel <= ChannelCount; ++channel) {
            if (changed >> (channel - 1) & 1u)
                boxes.setChannelBox(step, channel, to.channel(step, channel) ? 1 : 0);
        }
        if (from.enable(step) != to.enable(step))
            boxes.setEnableBox(step, to.enable(step) ? 1 : 0);
    }
    if (from.sameSpeed(to))
        return;
    // The bar's handler stores the speed and the interval only for a new value; set both anyway,
    // and give back the empty speed of an effect whose speed was never set.
    speedBar.setValue(to.barValue);
    if (sequencer.timer().interval() != speedBar.value())
        sequencer.speedChanged(speedBar.value());
    sequencer.speed = to.speed;
}
