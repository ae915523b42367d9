#pragma once

#include "effects/SaveQuestion.h"

#include <QPointer>
#include <QWidget>

// The real question: a modal message box with Mentés, Elvetés and Mégse; Escape and the close
// box answer Mégse. The box runs its own event loop, so playback goes on while it is open.
// Writing over a file changed elsewhere is asked with Igen and Nem, Nem the default.
class MessageBoxSaveQuestion : public SaveQuestion {
public:
    MessageBoxSaveQuestion(QWidget* parent, const QString& title);

    Answer ask() override;
    bool overwriteChanged(const QString& path) override;

private:
    QPointer<QWidget> m_parent;
    QString m_title;
};
