#pragma once

#include "FakeStepPattern.h"
#include "output/Module1.h"
#include "sequencer/Sequencer.h"

#include <QtTest>

#include <utility>

// Fake boxes, the module, a port and a sequencer wired as the window wires them, with the start
// values loaded and Timer1 held: the test drives every tick by hand.
template <typename PortType> struct SequencerRig {
    template <typename... PortArguments>
    explicit SequencerRig(PortArguments&&... arguments) : port(std::forward<PortArguments>(arguments)...) {
        sequencer.timer().stop();
        sequencer.load();
    }

    FakeStepPattern boxes;
    Module1 module;
    PortType port;
    Sequencer sequencer{boxes, boxes, module, port};
};

// Ticks the sequencer by hand until condition holds, failing the test after timeout ms; for
// outputs that reach their device through another process (olad), which answers in its own time.
#define KTR_TICK_UNTIL_WITH_TIMEOUT(sequencer, condition, timeout)                                           \
    QTRY_VERIFY_WITH_TIMEOUT(((sequencer).tick(), (condition)), timeout)
#define KTR_TICK_UNTIL(sequencer, condition) KTR_TICK_UNTIL_WITH_TIMEOUT(sequencer, condition, 10000)
