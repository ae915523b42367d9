#pragma once

#include "GpioSettings.h"
#include "ui/OutputSettingsDialog.h"

#include <array>

class QCheckBox;
class QSpinBox;

// Asks which GPIO line each of the twelve channels drives (or none) and whether the board is
// active-low. OK stays disabled while no line is given or a line is given twice.
class GpioSettingsDialog : public OutputSettingsDialog {
    Q_OBJECT
public:
    // proposed: the choice with the chip of the menu entry.
    explicit GpioSettingsDialog(const OutputChoice& proposed, QWidget* parent = nullptr);

    // The proposed choice made GPIO with the lines entered.
    OutputChoice choice() const override;
    GpioSettings settings() const;

    QSpinBox* lineBox(int channel) const { return m_lines[channel]; }
    QCheckBox* activeLowBox() const { return m_activeLow; }

private:
    void check();

    OutputChoice m_proposed;
    GpioSettings m_current;
    std::array<QSpinBox*, GpioSettings::ChannelCount> m_lines{};
    QCheckBox* m_activeLow = nullptr;
};
