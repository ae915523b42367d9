#include "OutputMenu.h"

#include "OutputSettingsDialog.h"
#include "output/OutputRegistry.h"
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

OutputSettingsDialog* OutputMenu::dialog() const {
    return m_dialog;
}

void OutputMenu::refresh() {
    clear();
    delete m_group;
    m_group = new QActionGroup(this);
    m_group->setExclusive(true);
    const OutputChoice current = m_router.choice();
    const bool failing = !m_router.choicePending() && m_router.failing();
    for (const OutputBackend* backend : OutputRegistry::all()) {
        for (const OutputEntry& entry : backend->entries(current)) {
            QAction* action = addAction(failing && entry.current ? entry.label + Unavailable : entry.label);
            action->setObjectName(entry.objectName);
            action->setCheckable(true);
            action->setChecked(entry.current);
            m_group->addAction(action);
            OutputChoice proposed = current;
            proposed.kind = backend->name();
            for (auto it = entry.settings.begin(); it != entry.settings.end(); ++it)
                proposed.settings[it.key()] = it.value();
            if (entry.dialog)
                connect(action, &QAction::triggered, this, [this, proposed] { askFor(proposed); });
            else
                connect(action, &QAction::triggered, this, [this, proposed] { choose(proposed); });
        }
    }
    if (!m_trailing.isEmpty())
        addSeparator();
    for (const QPointer<QAction>& action : std::as_const(m_trailing)) {
        if (action)
            addAction(action);
    }
}

void OutputMenu::addTrailingAction(QAction* action) {
    m_trailing.append(action);
    refresh();
}

// Only what is chosen here is saved: the output and its own settings. Whatever the command line
// set for this run stays out of the settings file.
void OutputMenu::choose(const OutputChoice& choice) {
    if (choice != m_router.choice())
        m_router.choose(choice);
    OutputChoice saved = OutputChoice::loadSaved();
    saved.kind = choice.kind;
    const OutputSettings own = choice.backend().defaults();
    for (auto it = own.begin(); it != own.end(); ++it)
        saved.settings[it.key()] = choice.setting(it.key());
    saved.saveAsDefault();
    refreshLater();
}

// Not while one of the entries is still being triggered: refresh() replaces them.
void OutputMenu::refreshLater() {
    QMetaObject::invokeMethod(this, &OutputMenu::refresh, Qt::QueuedConnection);
}

void OutputMenu::askFor(const OutputChoice& proposed) {
    // Until OK the old choice stays, check mark included. Not modal to the application's event
    // loop: the dialog is opened, not executed, so playback is never held up by it.
    refreshLater();
    if (m_dialog)
        m_dialog->close();
    m_dialog = createOutputDialog(proposed.kind, proposed, parentWidget());
    if (!m_dialog)
        return;
    m_dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_dialog->setWindowModality(Qt::WindowModal);
    connect(m_dialog, &QDialog::accepted, this, [this] { choose(m_dialog->choice()); });
    m_dialog->open();
}
