#pragma once

class QWidget;

// Asks the window manager to leave the window out of the task bar (_NET_WM_STATE_SKIP_TASKBAR).
// Qt's tool-window flag does not ask for that on X11. Call before the window is first shown;
// does nothing on other platforms (Wayland and the offscreen platform have no such hint).
void hideFromTaskbar(QWidget* window);
