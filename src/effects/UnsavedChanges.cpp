#include "UnsavedChanges.h"

#include "output/StepPattern.h"

#include <QAbstractSlider>

UnsavedChanges::UnsavedChanges(const StepPattern& boxes, const QAbstractSlider& speedBar, QObject* parent)
    : QObject(parent), m_boxes(boxes), m_speedBar(speedBar), m_clean(snapshot()) {}

void UnsavedChanges::markClean() {
    m_clean = snapshot();
    recheck();
}

void UnsavedChanges::recheck() {
    const bool modified = snapshot() != m_clean;
    if (modified == m_modified)
        return;
    m_modified = modified;
    emit modifiedChanged(modified);
}

// One byte per box as the file counts it (only 1 is on), then the speed.
QByteArray UnsavedChanges::snapshot() const {
    QByteArray state;
    state.reserve(StepCount * (ChannelCount + 1) + 4);
    for (int step = 1; step <= StepCount; ++step) {
        for (int channel = 1; channel <= ChannelCount; ++channel)
            state += m_boxes.channelBox(step, channel) == 1 ? 'x' : '0';
        state += m_boxes.enableBox(step) == 1 ? 'x' : '0';
    }
    return state + QByteArray::number(m_speedBar.value());
}
