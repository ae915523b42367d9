#pragma once

#include "EffectSnapshot.h"

#include <QString>

#include <functional>

// One undo step: the effect before and after a change. Undo and redo write only what differs
// between the two (EffectSnapshot), through the function given, which the history uses to keep
// its own bookkeeping out of the way.
class EditCommand {
public:
    enum Kind { Other = -1, Speed = 1 };
    using Apply = std::function<void(const EffectSnapshot& from, const EffectSnapshot& to)>;

    EditCommand(const QString& text, Kind kind, const EffectSnapshot& before, const EffectSnapshot& after,
                Apply apply);

    QString text() const { return m_text; }
    void undo();
    void redo();
    // Consecutive speed changes are one step; one that ends where the first began is obsolete.
    bool mergeWith(const EditCommand& next);
    bool isObsolete() const { return m_obsolete; }

    const EffectSnapshot& before() const { return m_before; }
    const EffectSnapshot& after() const { return m_after; }

private:
    QString m_text;
    Kind m_kind;
    EffectSnapshot m_before;
    EffectSnapshot m_after;
    Apply m_apply;
    bool m_obsolete = false;
};
