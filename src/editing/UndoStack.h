#pragma once

#include "EditCommand.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

// The undo history's list of steps, on Qt Core alone so that the engine needs no GUI module. It
// behaves as Qt's undo stack does for what the history uses: push() drops what could be redone,
// merges a command into the one below it when both say so, and drops a merged step that ends
// where it began.
class UndoStack : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // The command's change has already happened; it is kept for undo.
    void push(std::unique_ptr<EditCommand> command);
    void undo();
    void redo();

    bool canUndo() const { return m_index > 0; }
    bool canRedo() const { return m_index < count(); }
    int count() const { return int(m_commands.size()); }
    int index() const { return m_index; }
    QString undoText() const { return canUndo() ? m_commands[m_index - 1]->text() : QString(); }
    QString redoText() const { return canRedo() ? m_commands[m_index]->text() : QString(); }

signals:
    void indexChanged(int index);

private:
    std::vector<std::unique_ptr<EditCommand>> m_commands;
    int m_index = 0;
};
