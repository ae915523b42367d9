#include "GpioSettingsDialog.h"

#include "GpioChip.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

GpioSettingsDialog::GpioSettingsDialog(const OutputChoice& proposed, QWidget* parent)
    : OutputSettingsDialog(parent), m_proposed(proposed), m_current(GpioSettings::from(proposed.settings)) {
    const GpioSettings& current = m_current;
    const auto chip = GpioChip::open(current.chipPath());
    const QString label = chip ? chip->label() : QString();
    setObjectName(QStringLiteral("gpioSettings"));
    setWindowTitle(QStringLiteral("GPIO (%1)").arg(current.chip));

    auto* layout = new QVBoxLayout(this);
    const QString chipText =
        label.isEmpty() ? current.chip : QStringLiteral("%1: %2").arg(current.chip, label);
    auto* intro = new QLabel(QStringLiteral("Csip: %1\nMelyik GPIO-vonalat kapcsolja az egyes csatornák? "
                                            "(A vonal száma a csipen belüli sorszám, Raspberry Pi-n a "
                                            "GPIO-szám.)")
                                 .arg(chipText),
                             this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    // Two columns of six, channel 1 at the top left, as the channels run on the monitor line.
    auto* grid = new QGridLayout;
    constexpr int Rows = GpioSettings::ChannelCount / 2;
    for (int c = 0; c < GpioSettings::ChannelCount; ++c) {
        auto* box = new QSpinBox(this);
        box->setObjectName(QStringLiteral("line%1").arg(c + 1));
        box->setRange(GpioSettings::NotDriven, GpioSettings::MaxOffset);
        box->setSpecialValueText(QStringLiteral("nincs"));
        box->setValue(current.lines[c]);
        auto* caption = new QLabel(QStringLiteral("%1. csatorna:").arg(c + 1), this);
        caption->setBuddy(box);
        const int column = c / Rows * 2;
        grid->addWidget(caption, c % Rows, column);
        grid->addWidget(box, c % Rows, column + 1);
        connect(box, &QSpinBox::valueChanged, this, &GpioSettingsDialog::check);
        m_lines[c] = box;
    }
    layout->addLayout(grid);

    m_activeLow =
        new QCheckBox(QStringLiteral("Aktív alacsony kártya (a bekapcsolt csatorna alacsony szintre "
                                     "húzza a vonalát)"),
                      this);
    m_activeLow->setObjectName(QStringLiteral("activeLow"));
    m_activeLow->setChecked(current.activeLow);
    layout->addWidget(m_activeLow);

    addProblemAndButtons(*layout);
    check();
}

OutputChoice GpioSettingsDialog::choice() const {
    OutputChoice result = m_proposed;
    result.kind = QStringLiteral("gpio");
    settings().storeIn(result.settings);
    return result;
}

GpioSettings GpioSettingsDialog::settings() const {
    GpioSettings result = m_current;
    for (int c = 0; c < GpioSettings::ChannelCount; ++c)
        result.lines[c] = m_lines[c]->value();
    result.activeLow = m_activeLow->isChecked();
    return result;
}

void GpioSettingsDialog::check() {
    const QString problem = GpioSettings::problem(settings().lines);
    showProblem(problem);
}
