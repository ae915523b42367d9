#include "UnsavedChanges.h"

#include "output/StepPattern.h"

#include "sequencer/SpeedControl.h"

UnsavedChanges::UnsavedChanges(const StepPattern& boxes, const SpeedControl& speedBar, QObject* parent)
    : QObject(parent), m_boxes(boxes), m_speedBar(speedBar), m_clean(snapshot()) {}

void UnsavedChanges::markClean() {
    m_clean = snapshot();
    recheck();
}

void UnsavedChanges::recheck() {
    const bool modified = differsFromClean();
    if (modified == m_modified)
        return;
    m_modified = modified;
    emit modifiedChanged(modified);
}

// Runs after every single box an Open or a tool sets, so it reads the boxes against the clean
// state in place and stops at the first difference instead of building a snapshot each time.
bool UnsavedChanges::differsFromClean() const {
    qsizetype i = 0;
    for (int step = 1; step <= StepCount; ++step) {
        for (int channel = 1; channel <= ChannelCount; ++channel) {
            if (boxByte(m_boxes.channelBox(step, channel)) != m_clean[i++])
                return true;
        }
        if (boxByte(m_boxes.enableBox(step)) != m_clean[i++])
            return true;
    }
    return m_clean.mid(i) != QByteArray::number(m_speedBar.value());
}

// One byte per box as the file counts it (only 1 is on), then the speed.
QByteArray UnsavedChanges::snapshot() const {
    QByteArray state;
    state.reserve(StepCount * (ChannelCount + 1) + 4);
    for (int step = 1; step <= StepCount; ++step) {
        for (int channel = 1; channel <= ChannelCount; ++channel)
            state += boxByte(m_boxes.channelBox(step, channel));
        state += boxByte(m_boxes.enableBox(step));
    }
    return state + QByteArray::number(m_speedBar.value());
}
