#pragma once

#include <QMenu>
#include <QPointer>

class OutputRouter;
class OutputSettingsDialog;
struct OutputChoice;
class QActionGroup;

// "Kimenet": where the chaser plays. The entries of every output in the registry (one per device
// present), the current one checked and marked when it does not reach its device. A choice is
// saved and taken up at the next START; an entry with a dialog chooses on its OK.
class OutputMenu : public QMenu {
    Q_OBJECT
public:
    explicit OutputMenu(OutputRouter& router, QWidget* parent = nullptr);

    // The output dialog opened last, while it is open.
    OutputSettingsDialog* dialog() const;

    // Rebuilds the entries from the router's choice and state; done whenever the menu opens.
    void refresh();
    // An entry kept after the outputs' own, below a separator, through every refresh. The menu
    // does not own it.
    void addTrailingAction(QAction* action);

private:
    void choose(const OutputChoice& choice);
    void refreshLater();
    void askFor(const OutputChoice& proposed);

    OutputRouter& m_router;
    QActionGroup* m_group = nullptr;
    QPointer<OutputSettingsDialog> m_dialog;
    QList<QPointer<QAction>> m_trailing;
};
