#pragma once

#include "GpioSettings.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QDialogButtonBox;
class QLabel;
class QSpinBox;

// Asks which GPIO line each of the twelve channels drives (or none) and whether the board is
// active-low. OK stays disabled while no line is given or a line is given twice.
class GpioSettingsDialog : public QDialog {
    Q_OBJECT
public:
    // label: the chip's label as the kernel gives it, shown beside its name (may be empty).
    GpioSettingsDialog(const GpioSettings& current, const QString& label, QWidget* parent = nullptr);

    GpioSettings settings() const;

    QSpinBox* lineBox(int channel) const { return m_lines[channel]; }
    QCheckBox* activeLowBox() const { return m_activeLow; }
    QString problemText() const;

private:
    void check();

    GpioSettings m_current;
    std::array<QSpinBox*, GpioSettings::ChannelCount> m_lines{};
    QCheckBox* m_activeLow = nullptr;
    QLabel* m_problem = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
};
