#pragma once

#include <QObject>

class EffectCommands;
class QAction;
class QMainWindow;
class QMenu;

// The entries after the original three in "Fájl": "Új", "Legutóbbi fájlok" and "Kilépés", and
// the keys of the whole file menu. Kilépés closes the window, so it asks about unsaved changes
// exactly as the close box does.
class FileMenu : public QObject {
    Q_OBJECT
public:
    FileMenu(QMainWindow& window, QMenu& menu, EffectCommands& commands);

    QMenu* recentMenu() const { return m_recent; }

    // Asks about unsaved changes, then opens path; a file that no longer exists leaves the list
    // with a message.
    void openRecent(const QString& path);

private:
    void fillRecent();

    EffectCommands& m_commands;
    QMenu* m_recent = nullptr;
};
