#include "UndoStack.h"

void UndoStack::push(std::unique_ptr<EditCommand> command) {
    m_commands.resize(m_index);
    if (m_index > 0 && m_commands.back()->mergeWith(*command)) {
        if (m_commands.back()->isObsolete()) {
            m_commands.pop_back();
            --m_index;
        }
    } else {
        m_commands.push_back(std::move(command));
        ++m_index;
    }
    emit indexChanged(m_index);
}

void UndoStack::undo() {
    if (!canUndo())
        return;
    m_commands[--m_index]->undo();
    emit indexChanged(m_index);
}

void UndoStack::redo() {
    if (!canRedo())
        return;
    m_commands[m_index++]->redo();
    emit indexChanged(m_index);
}
