#include "OutputMenu.h"

#include "OlaSettingsDialog.h"
#include "output/OutputRouter.h"

#include <QActionGroup>

namespace {
const QString Unavailable = QStringLiteral(" (nem elérhető)");
} // namespace

OutputMenu::OutputMenu(OutputRouter& router, QWidget* parent)
    : QMenu(QStringLiteral("&Kimenet"), parent), m_router(router) {
    setObjectName(QStringLiteral("kimenet"));
    setToolTipsVisible(true);
    connect(this, &QMenu::aboutToShow, this, &OutputMenu::refresh);
    refresh();
}

OlaSettingsDialog* OutputMenu::olaDialog() const {
    return m_olaDialog;
}

void OutputMenu::refresh() {
    clear();
    delete m_group;
    m_group = new QActionGroup(this);
    m_group->setExclusive(true);
    const OutputChoice current = m_router.choice();
    const bool failing = !m_router.choicePending() && m_router.failing();
    const auto add = [&](const QString& text, bool checked) {
        QAction* action = addAction(failing && checked ? text + Unavailable : text);
        action->setCheckable(true);
        action->setChecked(checked);
        m_group->addAction(action);
        return action;
    };

    QStringList devices = OutputChoice::parportDevices();
    if (current.kind == OutputChoice::Kind::Parport && !devices.contains(current.device))
        devices.append(current.device);
    for (const QString& device : devices) {
        QAction* action = add(QStringLiteral("Párhuzamos port (%1)").arg(device),
                              current.kind == OutputChoice::Kind::Parport && current.device == device);
        action->setObjectName(QStringLiteral("parport"));
        connect(action, &QAction::triggered, this, [this, device] {
            OutputChoice choice = m_router.choice();
            choice.kind = OutputChoice::Kind::Parport;
            choice.device = device;
            choose(choice);
        });
    }
    QAction* dmx = add(QStringLiteral("DMX (OLA)…"), current.kind == OutputChoice::Kind::Ola);
    dmx->setObjectName(QStringLiteral("dmx"));
    connect(dmx, &QAction::triggered, this, &OutputMenu::askForDmx);
    QAction* screen = add(QStringLiteral("Csak képernyő"), current.kind == OutputChoice::Kind::Screen);
    screen->setObjectName(QStringLiteral("screen"));
    connect(screen, &QAction::triggered, this, [this] {
        OutputChoice choice = m_router.choice();
        choice.kind = OutputChoice::Kind::Screen;
        choose(choice);
    });
}

void OutputMenu::choose(const OutputChoice& choice) {
    if (choice != m_router.choice())
        m_router.choose(choice);
    choice.saveAsDefault();
    refreshLater();
}

// Not while one of the entries is still being triggered: refresh() replaces them.
void OutputMenu::refreshLater() {
    QMetaObject::invokeMethod(this, &OutputMenu::refresh, Qt::QueuedConnection);
}

void OutputMenu::askForDmx() {
    // Until OK the old choice stays, check mark included. Not modal to the application's event
    // loop: the dialog is opened, not executed, so playback is never held up by it.
    refreshLater();
    if (!m_olaDialog) {
        m_olaDialog = new OlaSettingsDialog(m_router.choice(), parentWidget());
        m_olaDialog->setAttribute(Qt::WA_DeleteOnClose);
        m_olaDialog->setWindowModality(Qt::WindowModal);
        connect(m_olaDialog, &QDialog::accepted, this, [this] { choose(m_olaDialog->choice()); });
    }
    m_olaDialog->open();
}
