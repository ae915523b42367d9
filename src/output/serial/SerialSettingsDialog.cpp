#include "SerialSettingsDialog.h"

#include "SerialDevices.h"
#include "SerialOutput.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

SerialSettingsDialog::SerialSettingsDialog(const OutputChoice& proposed, QWidget* parent)
    : OutputSettingsDialog(parent), m_proposed(proposed), m_current(SerialSettings::from(proposed.settings)) {
    setObjectName(QStringLiteral("serialSettings"));
    QString deviceText = m_current.device + QStringLiteral("\n(most nincs csatlakoztatva)");
    for (const SerialDevice& device : SerialDevice::present()) {
        if (device.matches(m_current.device))
            deviceText = QStringLiteral("%1\n(%2, %3)").arg(m_current.device, device.node, device.label());
    }
    setWindowTitle(QStringLiteral("Soros port (%1)").arg(m_current.device.section(QLatin1Char('/'), -1)));

    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(QStringLiteral("Eszköz: %1").arg(deviceText), this);
    intro->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(intro);

    auto* form = new QFormLayout;
    m_protocol = new QComboBox(this);
    m_protocol->setObjectName(QStringLiteral("protocol"));
    for (const auto protocol : {SerialSettings::Protocol::Lcus, SerialSettings::Protocol::Generic,
                                SerialSettings::Protocol::Renard})
        m_protocol->addItem(QStringLiteral("%1 – %2").arg(SerialOutput::protocolText(protocol),
                                                          SerialSettings::protocolName(protocol)),
                            int(protocol));
    m_protocol->setCurrentIndex(m_protocol->findData(int(m_current.protocol)));
    form->addRow(QStringLiteral("&Protokoll:"), m_protocol);

    m_baud = new QComboBox(this);
    m_baud->setObjectName(QStringLiteral("baud"));
    m_baud->addItem(QString(), 0); // the protocol's own; its text follows the protocol
    for (const int rate : SerialSettings::baudRates())
        m_baud->addItem(QString::number(rate), rate);
    m_baud->setCurrentIndex(std::max(0, m_baud->findData(m_current.baud)));
    form->addRow(QStringLiteral("&Sebesség (baud):"), m_baud);

    m_header = new QLineEdit(m_current.header, this);
    m_header->setObjectName(QStringLiteral("header"));
    m_header->setPlaceholderText(QStringLiteral("például KTR vagy \\x7E\\x01"));
    form->addRow(QStringLiteral("&Fejléc:"), m_header);
    m_footer = new QLineEdit(m_current.footer, this);
    m_footer->setObjectName(QStringLiteral("footer"));
    form->addRow(QStringLiteral("&Lábléc:"), m_footer);
    layout->addLayout(form);

    auto* help = new QLabel(QStringLiteral("A fejléc és a lábléc csak a generic protokollé: \\xNN egy "
                                           "tetszőleges bájt (két hexadecimális jegy), \\\\ egy fordított "
                                           "perjel. A KTR saját Arduino-vázlatának fejléce: KTR."),
                            this);
    help->setWordWrap(true);
    layout->addWidget(help);

    addProblemAndButtons(*layout);
    connect(m_protocol, &QComboBox::currentIndexChanged, this, &SerialSettingsDialog::protocolChanged);
    connect(m_header, &QLineEdit::textChanged, this, &SerialSettingsDialog::check);
    connect(m_footer, &QLineEdit::textChanged, this, &SerialSettingsDialog::check);
    protocolChanged();
    setMinimumWidth(sizeHint().width());
}

OutputChoice SerialSettingsDialog::choice() const {
    OutputChoice result = m_proposed;
    result.kind = QStringLiteral("serial");
    settings().storeIn(result.settings);
    return result;
}

SerialSettings SerialSettingsDialog::settings() const {
    SerialSettings result = m_current;
    result.protocol = SerialSettings::Protocol(m_protocol->currentData().toInt());
    result.baud = m_baud->currentData().toInt();
    if (result.protocol == SerialSettings::Protocol::Generic) {
        result.header = m_header->text();
        result.footer = m_footer->text();
    }
    return result;
}

void SerialSettingsDialog::protocolChanged() {
    const auto protocol = SerialSettings::Protocol(m_protocol->currentData().toInt());
    m_baud->setItemText(
        0, QStringLiteral("%1 (a protokoll alapértéke)").arg(SerialSettings::defaultBaud(protocol)));
    const bool generic = protocol == SerialSettings::Protocol::Generic;
    m_header->setEnabled(generic);
    m_footer->setEnabled(generic);
    check();
}

void SerialSettingsDialog::check() {
    QString problem;
    if (m_header->isEnabled() && !SerialSettings::frameBytes(m_header->text(), &problem))
        problem = QStringLiteral("Fejléc: ") + problem;
    else if (m_footer->isEnabled() && !SerialSettings::frameBytes(m_footer->text(), &problem))
        problem = QStringLiteral("Lábléc: ") + problem;
    showProblem(problem);
}
