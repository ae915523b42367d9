#pragma once

#include "EditCommand.h"
#include "EffectSnapshot.h"
#include "UndoStack.h"

#include <QObject>

#include <functional>

class SpeedControl;
class PlaybackEngine;
class StepPattern;

// The undo history of the effect in the window. The boxes stay the only copy of the effect: each
// command keeps the boxes and speed before and after one change and puts them back through the
// box interface and the speed bar. Undo and redo never touch playback, and while one is applied
// nothing it causes is recorded.
class EditHistory : public QObject {
    Q_OBJECT
public:
    EditHistory(StepPattern& boxes, SpeedControl& speedBar, PlaybackEngine& engine,
                QObject* parent = nullptr);

    UndoStack& stack() { return m_stack; }

    // Runs change and records what it did to the boxes and the speed as one undo step named text
    // (nothing when it changed nothing). For the tools, Open and Új alike.
    void recordWholeEffect(const QString& text, const std::function<void()>& change);

    // A box the user has just clicked, already showing its new value; channel 0 is the step's
    // enable box.
    void boxClicked(int step, int channel, bool checked);

    // To be connected to the speed bar's valueChanged after its change handler.
    void speedBarChanged();

    bool isApplying() const { return m_applying; }

private:
    EffectSnapshot capture() const;
    void push(const QString& text, EditCommand::Kind kind, const EffectSnapshot& before,
              const EffectSnapshot& after);
    void apply(const EffectSnapshot& from, const EffectSnapshot& to);

    StepPattern& m_boxes;
    SpeedControl& m_speedBar;
    PlaybackEngine& m_engine;
    UndoStack m_stack;
    bool m_applying = false;
    bool m_recording = false;
    // The speed as last seen, the "before" of the next speed change.
    int m_lastBarValue = 0;
    std::optional<qint16> m_lastSpeed;
};
