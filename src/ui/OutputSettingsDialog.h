#pragma once

#include "output/OutputChoice.h"

#include <QDialog>

class QBoxLayout;
class QDialogButtonBox;
class QLabel;

// The settings dialog of an output, opened from its "Kimenet" entry. Accepted, choice() is the
// choice it makes. Each output with a dialog registers it by the output's name with one
// ktr_register_output_dialog() line beside its ktr_register_output().
class OutputSettingsDialog : public QDialog {
    Q_OBJECT
public:
    using QDialog::QDialog;
    virtual OutputChoice choice() const = 0;
    // What keeps OK from being pressed, in Hungarian; empty while the settings are good.
    QString problemText() const;

protected:
    // The problem line and OK/Mégse, below the output's own fields.
    void addProblemAndButtons(QBoxLayout& layout);
    // Shows problem (empty: none) and lets OK be pressed only without one.
    void showProblem(const QString& problem);

private:
    QLabel* m_problem = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
};

// The dialog of output name for proposed (the current choice with the entry's settings and kind
// applied); nullptr for an output without a dialog.
OutputSettingsDialog* createOutputDialog(const QString& name, const OutputChoice& proposed, QWidget* parent);
