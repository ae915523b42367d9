#include "EditCommand.h"

EditCommand::EditCommand(const QString& text, Kind kind, const EffectSnapshot& before,
                         const EffectSnapshot& after, Apply apply)
    : m_text(text), m_kind(kind), m_before(before), m_after(after), m_apply(std::move(apply)) {}

void EditCommand::undo() {
    m_apply(m_after, m_before);
}

void EditCommand::redo() {
    m_apply(m_before, m_after);
}

bool EditCommand::mergeWith(const EditCommand& next) {
    if (m_kind != Speed || next.m_kind != Speed)
        return false;
    m_after.barValue = next.m_after.barValue;
    m_after.grid.setSpeed(next.m_after.grid.speed());
    m_obsolete = m_before.sameSpeed(m_after);
    return true;
}
