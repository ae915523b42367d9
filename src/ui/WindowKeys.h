#pragma once

#include <QObject>

class QAbstractButton;
class QMainWindow;
class QScrollBar;

// Keyboard access to the main window beyond the file menu: F5 starts and stops playback wherever
// the focus is (Space stays with the focused box), the menus get their mnemonics, and the speed
// bar takes the focus: arrows move it by 1 ms, Page Up and Page Down by PageStep ms, while mouse
// clicks keep their step of 1. Qt's own context menu on the bar is removed.
class WindowKeys : public QObject {
    Q_OBJECT
public:
    static constexpr int PageStep = 10;

    WindowKeys(QMainWindow& window, QAbstractButton& startStop, QScrollBar& speedBar);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QScrollBar& m_speedBar;
};
