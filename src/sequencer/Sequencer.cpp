#include "Sequencer.h"

#include "effects/EffectGrid.h"
#include "output/Port.h"
#include "output/StepEncoder.h"
#include "output/StepPattern.h"

#include <utility>

Sequencer::Sequencer(StepPattern& boxes, MonitorView& monitorView, Module1& module, Port& port,
                     QObject* parent)
    : QObject(parent), m_boxes(boxes), m_monitorView(monitorView), m_module(module), m_port(port) {
    m_timer.setObjectName(QStringLiteral("Timer1"));
    m_timer.setInterval(StartInterval);
    connect(&m_timer, &IntervalTimer::timeout, this, &Sequencer::tick);
    m_timer.start();
}

void Sequencer::load() {
    running = 0;
    currentStep = 0;
    m_module.dataValue = 0;
    m_module.controlValue = 203;
    m_module.dataPort = Port::DataAddress;
    m_module.controlPort = Port::ControlAddress;
    m_module.controlPattern = QStringLiteral("0000");
    m_module.rowPattern = QStringLiteral("000000000000");
}

// One upward pass over the steps. Block k acts only when the counter stands on k; after playing
// (or finding k disabled) it looks one step ahead and, if that step is disabled, moves the counter
// onto it so that the next block handles it in this same tick. So disabled steps are passed over
// in the tick that plays the step before them, and the next tick lands on the next enabled step.
// The wrap does not carry on past step 1 in the same tick, which is what gives the empty ticks.
void Sequencer::tick() {
    m_inTick = true;
    if (running == 1) {
        clearStepHighlight();
        ++currentStep;
        for (int k = 1; k <= StepCount; ++k) {
            if (currentStep != k)
                continue;
            if (m_boxes.enableBox(k) == 1)
                playStep(k);
            if (k < StepCount) {
                if (m_boxes.enableBox(k + 1) != 1)
                    ++currentStep;
            } else if (m_boxes.enableBox(1) != 1) {
                currentStep = 1;
            }
        }
    }
    if (currentStep == StepCount)
        currentStep = 0;
    m_inTick = false;
    if (std::exchange(m_rewindPending, false))
        currentStep = 0;
}

void Sequencer::startStop() {
    if (running == 1) {
        running = 0;
        return;
    }
    running = 1;
    m_module.dataValue = 0;
    m_module.dataPort = Port::DataAddress;
    m_port.retry();
    sendToPort();
    currentStep = 0;
}

void Sequencer::speedChanged(int value) {
    speed = static_cast<qint16>(value);
    m_timer.setInterval(static_cast<int>(*speed));
}

void Sequencer::outputsOff() {
    m_module.dataValue = 0;
    m_module.controlValue = 203; // all four control pins low
    m_module.dataPort = Port::DataAddress;
    sendToPort();
}

void Sequencer::rewind() {
    // From a step's report inside the tick (the inline engine), the rest of that tick's pass must
    // not move the counter on again: it is set when the pass is over.
    if (m_inTick) {
        m_rewindPending = true;
        return;
    }
    currentStep = 0;
}

void Sequencer::clearStepHighlight() {
    for (int step = 1; step <= StepCount; ++step)
        m_boxes.setHighlight(step, false);
}

void Sequencer::playStep(int step) {
    m_boxes.setHighlight(step, true);
    encodeStep(m_module, m_boxes, step);
    sendToPort();
    m_monitor.updateMonitor(m_module, m_monitorView);
    emit stepPlayed(step, channelsOfRegisters(quint8(m_module.dataValue), quint8(m_module.controlValue)));
}

void Sequencer::sendToPort() {
    if (writePorts(m_module, m_port))
        return;
    const QString message = m_port.errorMessage();
    if (m_reportedFailures.contains(message))
        return;
    m_reportedFailures.append(message);
    emit portFailed(message, m_port.latchesFailures());
}
