#pragma once

#include "ui/OutputSettingsDialog.h"

#include <QMessageBox>
#include <QPointer>

class QLabel;
class QSpinBox;
class QTreeWidget;
class QTreeWidgetItem;

// Asks for the DMX settings: universe, first address, the level of an "on" channel, olad's port,
// and which of olad's output ports carries the universe. The ports are read from olad when the
// dialog opens; OK patches the chosen one to the universe (a port patched to another universe
// only after a question) and keeps it in the choice, so that each START patches it again.
class OlaSettingsDialog : public OutputSettingsDialog {
    Q_OBJECT
public:
    static constexpr int OladTimeoutMs = 1000;

    explicit OlaSettingsDialog(const OutputChoice& current, QWidget* parent = nullptr);

    // The current choice made DMX with the values entered.
    OutputChoice choice() const override;

    QSpinBox* universeBox() const { return m_universe; }
    QSpinBox* addressBox() const { return m_address; }
    QSpinBox* levelBox() const { return m_level; }
    QSpinBox* portBox() const { return m_port; }
    QTreeWidget* deviceList() const { return m_devices; }
    QLabel* oladState() const { return m_state; }
    QMessageBox* question() const { return m_question; }

    // Reads olad's output ports again, from the port in the box.
    void refreshDevices();
    void accept() override;

private:
    QTreeWidgetItem* addRow(const QString& device, const QString& port, const QString& universe,
                            const QString& patch);
    // Patches the chosen port, then closes with OK; stays open with a message when olad refuses.
    void patchAndAccept();

    OutputChoice m_current;
    QSpinBox* m_universe = nullptr;
    QSpinBox* m_address = nullptr;
    QSpinBox* m_level = nullptr;
    QSpinBox* m_port = nullptr;
    QTreeWidget* m_devices = nullptr;
    QLabel* m_state = nullptr;
    QPointer<QMessageBox> m_question;
    QString m_patch;
};
