#include "UnsavedChanges.h"

#include "sequencer/SpeedControl.h"

UnsavedChanges::UnsavedChanges(const StepPattern& boxes, const SpeedControl& speedBar, QObject* parent)
    : QObject(parent), m_boxes(boxes), m_speedBar(speedBar), m_clean(EffectGrid::fromBoxes(boxes)),
      m_cleanBar(speedBar.value()) {}

void UnsavedChanges::markClean() {
    m_clean = EffectGrid::fromBoxes(m_boxes);
    m_cleanBar = m_speedBar.value();
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
// state in place and stops at the first difference instead of building a grid each time.
bool UnsavedChanges::differsFromClean() const {
    return m_speedBar.value() != m_cleanBar || !m_clean.sameBoxesAs(m_boxes);
}
