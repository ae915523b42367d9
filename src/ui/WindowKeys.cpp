#include "WindowKeys.h"

#include <QAbstractButton>
#include <QAction>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>

WindowKeys::WindowKeys(QMainWindow& window, QAbstractButton& startStop, QScrollBar& speedBar)
    : QObject(&window), m_speedBar(speedBar) {
    auto* run = new QAction(QStringLiteral("Indítás / leállítás"), &window);
    run->setObjectName(QStringLiteral("startStopKey"));
    run->setShortcut(Qt::Key_F5);
    run->setShortcutContext(Qt::WindowShortcut);
    window.addAction(run);
    // Through the button, so that the key does exactly what a click does.
    connect(run, &QAction::triggered, &startStop, &QAbstractButton::click);
    startStop.setToolTip(QStringLiteral("Lejátszás indítása és leállítása (F5)"));

    for (QAction* menu : window.menuBar()->actions()) {
        if (menu->menu() && menu->menu()->objectName() == QStringLiteral("menü1")) {
            menu->setText(QStringLiteral("&Névjegy"));
            for (QAction* entry : menu->menu()->actions()) {
                if (entry->objectName() == QLatin1String("dorn"))
                    entry->setText(QStringLiteral("&Dorn és Kalmo"));
            }
        }
    }

    speedBar.setFocusPolicy(Qt::StrongFocus);
    speedBar.setContextMenuPolicy(Qt::NoContextMenu);
    speedBar.setToolTip(
        QStringLiteral("Sebesség: lefelé lassabb. Nyilak: ±1 ms, Page Up/Down: ±%1 ms").arg(PageStep));
    speedBar.installEventFilter(this);
}

bool WindowKeys::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &m_speedBar && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        // The bar's page step stays 1 for clicks in the trough; the keys take larger steps.
        if (key == Qt::Key_PageUp || key == Qt::Key_PageDown) {
            m_speedBar.setValue(m_speedBar.value() + (key == Qt::Key_PageDown ? PageStep : -PageStep));
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
