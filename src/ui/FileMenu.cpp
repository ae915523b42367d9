#include "FileMenu.h"

#include "effects/EffectCommands.h"
#include "effects/FileSettings.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>

FileMenu::FileMenu(QMainWindow& window, QMenu& menu, EffectCommands& commands)
    : QObject(&window), m_commands(commands) {
    // The original three entries keep their texts; only a mnemonic and the usual key are added.
    menu.menuAction()->setText(QStringLiteral("&Fájl"));
    for (QAction* action : menu.actions()) {
        const QString name = action->objectName();
        if (name == QLatin1String("EffBe")) {
            action->setText(QStringLiteral("&Megnyitás"));
            action->setShortcut(QKeySequence::Open);
        } else if (name == QLatin1String("Effki2")) {
            action->setText(QStringLiteral("Men&tés"));
            action->setShortcut(QKeySequence::Save);
        } else if (name == QLatin1String("Effki")) {
            action->setText(QStringLiteral("Mentés má&sként"));
            action->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
        }
    }

    menu.addSeparator();
    QAction* newEffect = menu.addAction(QStringLiteral("Ú&j"));
    newEffect->setObjectName(QStringLiteral("uj"));
    newEffect->setShortcut(QKeySequence::New);
    connect(newEffect, &QAction::triggered, &commands, &EffectCommands::newEffect);

    m_recent = menu.addMenu(QStringLiteral("&Legutóbbi fájlok"));
    m_recent->setObjectName(QStringLiteral("legutobbi"));
    m_recent->setToolTipsVisible(true);
    connect(m_recent, &QMenu::aboutToShow, this, &FileMenu::fillRecent);
    connect(&commands, &EffectCommands::fileUsed, this, [this](const QString& path) {
        FileSettings::addRecentFile(path);
        fillRecent();
    });
    fillRecent();

    menu.addSeparator();
    QAction* quit = menu.addAction(QStringLiteral("&Kilépés"));
    quit->setObjectName(QStringLiteral("kilepes"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quit, &QAction::triggered, &window, &QWidget::close);
}

void FileMenu::fillRecent() {
    m_recent->clear();
    const QStringList files = FileSettings::recentFiles();
    for (int i = 0; i < files.size(); ++i) {
        const QString& path = files[i];
        // "&1 minta.eff": a digit to pick it with; a '&' in the name itself shows as one.
        QString name = QFileInfo(path).fileName();
        name.replace(u'&', QLatin1String("&&"));
        QAction* action = m_recent->addAction(i < 9 ? QStringLiteral("&%1 %2").arg(i + 1).arg(name) : name);
        action->setToolTip(QDir::toNativeSeparators(path));
        action->setStatusTip(QDir::toNativeSeparators(path));
        action->setData(path);
        connect(action, &QAction::triggered, this, [this, path] { openRecent(path); });
    }
    m_recent->menuAction()->setEnabled(!files.isEmpty());
}

void FileMenu::openRecent(const QString& path) {
    if (!QFileInfo(path).isFile()) {
        FileSettings::removeRecentFile(path);
        // Later: the entry that got us here is one of the actions a refill deletes.
        QMetaObject::invokeMethod(this, &FileMenu::fillRecent, Qt::QueuedConnection);
        emit m_commands.failed(QStringLiteral("Nem sikerült megnyitni: „%1”\nA fájl már nem létezik, ezért "
                                              "lekerült a legutóbbi fájlok közül.")
                                   .arg(QDir::toNativeSeparators(path)));
        return;
    }
    m_commands.openFile(path);
}
