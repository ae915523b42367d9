#include "OlaSettingsDialog.h"

#include "OlaOutput.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSpinBox>

namespace {
QSpinBox* spinBox(QWidget* parent, const char* name, int min, int max, int value) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setRange(min, max);
    box->setValue(value);
    return box;
}
} // namespace

OlaSettingsDialog::OlaSettingsDialog(const OutputChoice& current, QWidget* parent)
    : OutputSettingsDialog(parent), m_current(current) {
    setObjectName(QStringLiteral("olaSettings"));
    setWindowTitle(QStringLiteral("DMX (OLA)"));
    m_universe =
        spinBox(this, "universe", 0, OlaOutput::MaxUniverse, current.number(QStringLiteral("universe")));
    m_address = spinBox(this, "address", OlaOutput::MinAddress, OlaOutput::MaxAddress,
                        current.number(QStringLiteral("address")));
    m_level = spinBox(this, "level", OlaOutput::MinLevel, OlaOutput::MaxLevel,
                      current.number(QStringLiteral("level")));
    m_port = spinBox(this, "olaPort", 1, 65535, current.number(QStringLiteral("olaPort")));

    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Univerzum:"), m_universe);
    form->addRow(QStringLiteral("Első DMX-cím:"), m_address);
    form->addRow(QStringLiteral("Bekapcsolt csatorna szintje:"), m_level);
    form->addRow(QStringLiteral("Az olad portja:"), m_port);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Mégse"));
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

OutputChoice OlaSettingsDialog::choice() const {
    OutputChoice choice = m_current;
    choice.kind = QStringLiteral("ola");
    choice.settings[QStringLiteral("universe")] = QString::number(m_universe->value());
    choice.settings[QStringLiteral("address")] = QString::number(m_address->value());
    choice.settings[QStringLiteral("level")] = QString::number(m_level->value());
    choice.settings[QStringLiteral("olaPort")] = QString::number(m_port->value());
    return choice;
}
