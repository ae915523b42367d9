#pragma once

#include "editing/StepTools.h"

#include <QHash>
#include <QObject>
#include <QPointer>

#include <optional>
#include <utility>

class EditHistory;
class EffectCommands;
class Form1;
class QAction;
class QMenu;

// Editing beyond single clicks: the "Szerkesztés" menu with undo and redo and the tools for the
// step that has the keyboard focus, the context menus of the step rows and the channel columns,
// and the "Minták" submenu of the File menu. Every box click, tool, speed change and opened
// effect goes into one undo history.
class EditMenus : public QObject {
    Q_OBJECT
public:
    enum class StepTool { AllOn, AllOff, Invert, Copy, Paste, ShiftLeft, ShiftRight, Insert, Delete };
    enum class ChannelTool { AllOn, AllOff, Invert };

    EditMenus(Form1& window, EffectCommands& effects);

    EditHistory& history() { return *m_history; }
    QMenu* editMenu() const { return m_editMenu; }
    QMenu* examplesMenu() const { return m_examplesMenu; }
    QAction* undoAction() const { return m_undo; }
    QAction* redoAction() const { return m_redo; }

    // Each tool is one undo step; Copy changes nothing and is not one.
    void runStepTool(StepTool tool, int step);
    void runChannelTool(ChannelTool tool, int channel);

    // The step whose channel or enable box has the keyboard focus; 0 when none has.
    int focusedStep() const;

    // The context menu of a step (label, frame or enable box); for a channel box also the tools
    // of its column. Rebuilt on every call; the window owns it.
    QMenu* contextMenu(int step, int channel);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watchBoxes();
    void buildEditMenu();
    void buildExamplesMenu();
    void updateEditMenu();
    void addStepTools(QMenu* menu, int step);

    Form1& m_window;
    EffectCommands& m_effects;
    EditHistory* m_history = nullptr;
    QMenu* m_editMenu = nullptr;
    QMenu* m_examplesMenu = nullptr;
    QAction* m_undo = nullptr;
    QAction* m_redo = nullptr;
    QAction* m_focusedHeading = nullptr;
    QList<QAction*> m_focusedTools;
    QPointer<QMenu> m_contextMenu;
    std::optional<StepTools::StepRow> m_copied;
    // What a right-click on a watched widget is about: (step, channel), channel 0 for the row.
    QHash<const QObject*, std::pair<int, int>> m_targets;
};
