#include "OlaSettingsDialog.h"

#include "OlaDevices.h"
#include "OlaOutput.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>

namespace {

// Per row: the "DEVICE:PORT" text, the device number (set for a port's row only) and the universe
// the port is patched to.
constexpr int PatchRole = Qt::UserRole;
constexpr int AliasRole = Qt::UserRole + 1;
constexpr int UniverseRole = Qt::UserRole + 2;

QSpinBox* spinBox(QWidget* parent, const char* name, int min, int max, int value) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setRange(min, max);
    box->setValue(value);
    return box;
}

} // namespace

OlaSettingsDialog::OlaSettingsDialog(const OutputChoice& current, QWidget* parent)
    : OutputSettingsDialog(parent), m_current(current), m_patch(current.setting(QStringLiteral("patch"))) {
    setObjectName(QStringLiteral("olaSettings"));
    setWindowTitle(QStringLiteral("DMX (OLA)"));
    m_universe =
        spinBox(this, "universe", 0, OlaOutput::MaxUniverse, current.number(QStringLiteral("universe")));
    m_address = spinBox(this, "address", OlaOutput::MinAddress, OlaOutput::MaxAddress,
                        current.number(QStringLiteral("address")));
    m_level = spinBox(this, "level", OlaOutput::MinLevel, OlaOutput::MaxLevel,
                      current.number(QStringLiteral("level")));
    m_port = spinBox(this, "olaPort", 1, 65535, current.number(QStringLiteral("olaPort")));

    m_devices = new QTreeWidget(this);
    m_devices->setObjectName(QStringLiteral("devices"));
    m_devices->setHeaderLabels(
        {QStringLiteral("Eszköz"), QStringLiteral("Port"), QStringLiteral("Univerzum")});
    m_devices->setRootIsDecorated(false);
    m_devices->setAllColumnsShowFocus(true);
    m_devices->header()->setStretchLastSection(false);
    m_devices->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_devices->setMinimumWidth(460);
    m_state = new QLabel(this);
    m_state->setObjectName(QStringLiteral("oladState"));
    m_state->setWordWrap(true);
    auto* refresh = new QPushButton(QStringLiteral("Eszközök &frissítése"), this);
    refresh->setObjectName(QStringLiteral("refreshDevices"));
    connect(refresh, &QPushButton::clicked, this, &OlaSettingsDialog::refreshDevices);

    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Univerzum:"), m_universe);
    form->addRow(QStringLiteral("Első DMX-cím:"), m_address);
    form->addRow(QStringLiteral("Bekapcsolt csatorna szintje:"), m_level);
    form->addRow(QStringLiteral("Az olad portja:"), m_port);
    form->addRow(new QLabel(QStringLiteral("Az univerzumot kiadó eszköz:"), this));
    form->addRow(m_devices);
    form->addRow(m_state);
    form->addRow(refresh);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Mégse"));
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &OlaSettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    refreshDevices();
}

QTreeWidgetItem* OlaSettingsDialog::addRow(const QString& device, const QString& port,
                                           const QString& universe, const QString& patch) {
    auto* item = new QTreeWidgetItem(m_devices, {device, port, universe});
    item->setData(0, PatchRole, patch);
    if (patch == m_patch)
        m_devices->setCurrentItem(item);
    return item;
}

void OlaSettingsDialog::refreshDevices() {
    m_devices->clear();
    addRow(QStringLiteral("Nincs kiválasztva"), QStringLiteral("(az olad-ban rendelt portok maradnak)"),
           QString(), QString());
    OlaDevices olad(m_port->value(), OladTimeoutMs);
    const auto devices = olad.devices();
    bool listed = m_patch.isEmpty();
    if (devices) {
        const auto wanted = OlaDevices::parsePatch(m_patch);
        for (const OlaDevices::Device& device : *devices) {
            for (const OlaDevices::OutputPort& port : device.outputs) {
                // The row stands for the patch as it was given: an id or a device number.
                const bool chosen = wanted && wanted->port == port.id &&
                                    OlaDevices::find({device}, wanted->device) != nullptr;
                const QString patch =
                    chosen ? m_patch : device.id + QLatin1Char(':') + QString::number(port.id);
                listed = listed || chosen;
                QTreeWidgetItem* item =
                    addRow(device.name, port.description,
                           port.universe ? QString::number(*port.universe) : QStringLiteral("szabad"), patch);
                item->setData(0, AliasRole, device.alias);
                item->setData(0, UniverseRole, port.universe ? QVariant(*port.universe) : QVariant());
            }
        }
        m_state->setText(devices->empty() ? QStringLiteral("Az olad-ban nincs kimeneti port.") : QString());
    } else {
        m_state->setText(QStringLiteral("Az olad nem érhető el (port: %1): az eszközök nem láthatók, "
                                        "a számok beállíthatók.")
                             .arg(m_port->value()));
    }
    m_state->setVisible(!m_state->text().isEmpty());
    if (!listed)
        addRow(m_patch, QStringLiteral("(most nincs az olad-ban)"), QString(), m_patch);
}

void OlaSettingsDialog::accept() {
    const QTreeWidgetItem* item = m_devices->currentItem();
    const bool port = item && item->data(0, AliasRole).isValid();
    if (!port) {
        if (item)
            m_patch = item->data(0, PatchRole).toString();
        QDialog::accept();
        return;
    }
    const QVariant patched = item->data(0, UniverseRole);
    if (!patched.isValid() || patched.toInt() == m_universe->value()) {
        patchAndAccept();
        return;
    }
    if (m_question)
        return;
    m_question = new QMessageBox(QMessageBox::Question, QStringLiteral("DMX (OLA)"),
                                 QStringLiteral("A(z) „%1” eszköz „%2” portja most a(z) %3. univerzumhoz "
                                                "van rendelve.\n\nÁthelyezi a(z) %4. univerzumhoz?")
                                     .arg(item->text(0), item->text(1))
                                     .arg(patched.toInt())
                                     .arg(m_universe->value()),
                                 QMessageBox::Yes | QMessageBox::No, this);
    m_question->setObjectName(QStringLiteral("moveQuestion"));
    m_question->button(QMessageBox::Yes)->setText(QStringLiteral("Áthelyezés"));
    m_question->button(QMessageBox::No)->setText(QStringLiteral("Mégse"));
    m_question->setDefaultButton(QMessageBox::No);
    m_question->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_question, &QMessageBox::finished, this, [this](int answer) {
        if (answer == QMessageBox::Yes)
            patchAndAccept();
    });
    m_question->open();
}

void OlaSettingsDialog::patchAndAccept() {
    const QTreeWidgetItem* item = m_devices->currentItem();
    if (!item)
        return;
    const QString patch = item->data(0, PatchRole).toString();
    const auto target = OlaDevices::parsePatch(patch);
    OlaDevices olad(m_port->value(), OladTimeoutMs);
    // Found again by its id: olad numbers its devices afresh when it restarts.
    const auto devices = olad.devices();
    const OlaDevices::Device* device =
        devices && target ? OlaDevices::find(*devices, target->device) : nullptr;
    if (!device || !olad.patch(device->alias, target->port, static_cast<unsigned>(m_universe->value()))) {
        const QString why = !devices ? olad.error()
                            : device ? olad.error()
                                     : QStringLiteral("az eszköz már nincs meg");
        m_state->setText(QStringLiteral("A port nem rendelhető az univerzumhoz: %1.").arg(why));
        m_state->show();
        return;
    }
    m_patch = patch;
    QDialog::accept();
}

OutputChoice OlaSettingsDialog::choice() const {
    OutputChoice choice = m_current;
    choice.kind = QStringLiteral("ola");
    choice.settings[QStringLiteral("universe")] = QString::number(m_universe->value());
    choice.settings[QStringLiteral("address")] = QString::number(m_address->value());
    choice.settings[QStringLiteral("level")] = QString::number(m_level->value());
    choice.settings[QStringLiteral("olaPort")] = QString::number(m_port->value());
    choice.settings[QStringLiteral("patch")] = m_patch;
    return choice;
}
