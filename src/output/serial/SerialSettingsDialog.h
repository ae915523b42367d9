#pragma once

#include "SerialSettings.h"
#include "ui/OutputSettingsDialog.h"

class QComboBox;
class QLineEdit;

// Asks for the protocol, the rate, and (for generic) the header and footer of a serial relay
// board. OK stays disabled while the header or footer has a bad escape or is too long.
class SerialSettingsDialog : public OutputSettingsDialog {
    Q_OBJECT
public:
    // proposed: the choice with the device of the menu entry.
    explicit SerialSettingsDialog(const OutputChoice& proposed, QWidget* parent = nullptr);

    // The proposed choice made serial with what was entered.
    OutputChoice choice() const override;
    SerialSettings settings() const;

    QComboBox* protocolBox() const { return m_protocol; }
    QComboBox* baudBox() const { return m_baud; }
    QLineEdit* headerEdit() const { return m_header; }
    QLineEdit* footerEdit() const { return m_footer; }

private:
    void protocolChanged();
    void check();

    OutputChoice m_proposed;
    SerialSettings m_current;
    QComboBox* m_protocol = nullptr;
    QComboBox* m_baud = nullptr;
    QLineEdit* m_header = nullptr;
    QLineEdit* m_footer = nullptr;
};
