#pragma once

#include "EffectGrid.h"

#include <QObject>

class SpeedControl;
class StepPattern;

// Whether the effect in the window (channel boxes, enable boxes, speed bar) differs from the one
// last opened or saved, or from the start-up state. It compares content, not edits: changing a
// box back, by hand or by undo, clears the mark again.
class UnsavedChanges : public QObject {
    Q_OBJECT
public:
    UnsavedChanges(const StepPattern& boxes, const SpeedControl& speedBar, QObject* parent = nullptr);

    bool isModified() const { return m_modified; }

    // The effect as it is now becomes the saved one.
    void markClean();

    // Compares again; to be called after every change of a box or of the speed.
    void recheck();

signals:
    void modifiedChanged(bool modified);

private:
    bool differsFromClean() const;

    const StepPattern& m_boxes;
    const SpeedControl& m_speedBar;
    EffectGrid m_clean; // the boxes as last opened or saved (only a box of value 1 is on)
    int m_cleanBar = 0;
    bool m_modified = false;
};
