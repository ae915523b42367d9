#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QSpinBox;
class RemoteControl;

// "Távvezérlés": the page's address and key and a QR code a phone scans to open it logged in,
// with a switch that turns the web on or off for this run. Not modal: playback goes on behind it.
class RemoteDialog : public QDialog {
    Q_OBJECT
public:
    RemoteDialog(RemoteControl& remote, QWidget* parent = nullptr);

    QCheckBox* onSwitch() const { return m_on; }
    QLabel* addressLabel() const { return m_address; }
    QLabel* qrLabel() const { return m_qr; }

private:
    void refresh();

    RemoteControl& m_remote;
    QCheckBox* m_on;
    QSpinBox* m_port;
    QLabel* m_address;
    QLabel* m_key;
    QLabel* m_qr;
    QLabel* m_note;
};
