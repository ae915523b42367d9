#pragma once

#include <QMenu>
#include <QPointer>

class OlaSettingsDialog;
class OutputRouter;
struct OutputChoice;
class QAction;
class QActionGroup;

// "Kimenet": where the chaser plays. One entry per parallel-port device, DMX through OLA and
// screen only, the current one checked and marked when it does not reach its device. A choice is
// saved and taken up at the next START.
class OutputMenu : public QMenu {
    Q_OBJECT
public:
    explicit OutputMenu(OutputRouter& router, QWidget* parent = nullptr);

    OlaSettingsDialog* olaDialog() const;

    // Rebuilds the entries from the router's choice and state; done whenever the menu opens.
    void refresh();

private:
    void choose(const OutputChoice& choice);
    void refreshLater();
    void askForDmx();

    OutputRouter& m_router;
    QActionGroup* m_group = nullptr;
    QPointer<OlaSettingsDialog> m_olaDialog;
};
