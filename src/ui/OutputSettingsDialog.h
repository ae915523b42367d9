#pragma once

#include "output/OutputChoice.h"

#include <QDialog>

// The settings dialog of an output, opened from its "Kimenet" entry. Accepted, choice() is the
// choice it makes. Each output with a dialog registers it by the output's name with one
// ktr_register_output_dialog() line beside its ktr_register_output().
class OutputSettingsDialog : public QDialog {
    Q_OBJECT
public:
    using QDialog::QDialog;
    virtual OutputChoice choice() const = 0;
};

// The dialog of output name for proposed (the current choice with the entry's settings and kind
// applied); nullptr for an output without a dialog.
OutputSettingsDialog* createOutputDialog(const QString& name, const OutputChoice& proposed, QWidget* parent);
