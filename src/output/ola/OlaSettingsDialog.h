#pragma once

#include "ui/OutputSettingsDialog.h"

class QSpinBox;

// Asks for the DMX settings: universe, first address, the level of an "on" channel, olad's port.
class OlaSettingsDialog : public OutputSettingsDialog {
    Q_OBJECT
public:
    explicit OlaSettingsDialog(const OutputChoice& current, QWidget* parent = nullptr);

    // The current choice made DMX with the values entered.
    OutputChoice choice() const override;

    QSpinBox* universeBox() const { return m_universe; }
    QSpinBox* addressBox() const { return m_address; }
    QSpinBox* levelBox() const { return m_level; }
    QSpinBox* portBox() const { return m_port; }

private:
    OutputChoice m_current;
    QSpinBox* m_universe = nullptr;
    QSpinBox* m_address = nullptr;
    QSpinBox* m_level = nullptr;
    QSpinBox* m_port = nullptr;
};
