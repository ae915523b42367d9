#include "EditCommand.h"

EditCommand::EditCommand(const QString& text, Kind kind, const EffectSnapshot& before,
                         const EffectSnapshot& after, Apply apply)
    : QUndoCommand(text), m_kind(kind), m_before(before), m_after(after), m_apply(std::move(apply)) {}

void EditCommand::undo() {
    m_apply(m_after, m_before);
    m_done = false;
}

void EditCommand::redo() {
    // The stack calls redo when the command is pushed; the change is already in the window then.
    if (m_done)
        return;
    m_apply(m_before, m_after);
    m_done = true;
}

bool EditCommand::mergeWith(const QUndoCommand* other) {
    const auto* next = static_cast<const EditCommand*>(other);
    if (m_kind != Speed || next->m_kind != Speed)
        return false;
    m_after.barValue = next->m_after.barValue;
    m_after.speed = next->m_after.speed;
    setObsolete(m_before.sameSpeed(m_after));
    return true;
}
