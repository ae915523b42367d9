#include "EditMenus.h"

#include "Form1.h"
#include "editing/EditHistory.h"
#include "editing/ExampleLibrary.h"
#include "effects/EffectCommands.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>

namespace {

struct StepToolEntry {
    EditMenus::StepTool tool;
    const char* text;
};

const StepToolEntry StepToolEntries[] = {
    {EditMenus::StepTool::AllOn, "Minden csatorna be"},  {EditMenus::StepTool::AllOff, "Minden csatorna ki"},
    {EditMenus::StepTool::Invert, "Megfordítás"},        {EditMenus::StepTool::Copy, "Másolás"},
    {EditMenus::StepTool::Paste, "Beillesztés"},         {EditMenus::StepTool::ShiftLeft, "Eltolás balra"},
    {EditMenus::StepTool::ShiftRight, "Eltolás jobbra"}, {EditMenus::StepTool::Insert, "Lépés beszúrása"},
    {EditMenus::StepTool::Delete, "Lépés törlése"},
};

// Separators go before these, grouping fills, the clipboard, shifts and row moves.
bool startsGroup(EditMenus::StepTool tool) {
    return tool == EditMenus::StepTool::Copy || tool == EditMenus::StepTool::ShiftLeft ||
           tool == EditMenus::StepTool::Insert;
}

struct ChannelToolEntry {
    EditMenus::ChannelTool tool;
    const char* text;
};

const ChannelToolEntry ChannelToolEntries[] = {
    {EditMenus::ChannelTool::AllOn, "Minden lépés be"},
    {EditMenus::ChannelTool::AllOff, "Minden lépés ki"},
    {EditMenus::ChannelTool::Invert, "Megfordítás"},
};

QString stepToolText(EditMenus::StepTool tool) {
    for (const StepToolEntry& entry : StepToolEntries) {
        if (entry.tool == tool)
            return QString::fromUtf8(entry.text);
    }
    return QString();
}

QString channelToolText(EditMenus::ChannelTool tool) {
    for (const ChannelToolEntry& entry : ChannelToolEntries) {
        if (entry.tool == tool)
            return QString::fromUtf8(entry.text);
    }
    return QString();
}

QAction* addHeading(QMenu* menu, const QString& text) {
    QAction* heading = menu->addAction(text);
    heading->setEnabled(false);
    return heading;
}

} // namespace

EditMenus::EditMenus(Form1& window, EffectCommands& effects)
    : QObject(&window), m_window(window), m_effects(effects) {
    m_history = new EditHistory(window, window.speed(), window.engine(), this);
    m_effects.setHistory(*m_history);
    window.showControl().setHistory(*m_history);
    // After the bar's own change handler, which was connected first.
    connect(window.speedBar(), &QScrollBar::valueChanged, m_history, &EditHistory::speedBarChanged);
    watchBoxes();
    buildExamplesMenu();
    buildEditMenu();
}

void EditMenus::watchBoxes() {
    for (int step = 1; step <= StepCount; ++step) {
        for (int channel = 1; channel <= ChannelCount; ++channel) {
            QCheckBox* box = m_window.channelCheckBox(step, channel);
            // clicked comes from the user only, never from a value set in code.
            connect(box, &QCheckBox::clicked, m_history,
                    [this, step, channel](bool checked) { m_history->boxClicked(step, channel, checked); });
            m_targets.insert(box, {step, channel});
            box->installEventFilter(this);
        }
        QCheckBox* enable = m_window.enableCheckBox(step);
        connect(enable, &QCheckBox::clicked, m_history,
                [this, step](bool checked) { m_history->boxClicked(step, 0, checked); });
        m_targets.insert(enable, {step, 0});
        enable->installEventFilter(this);

        QWidget* frame = m_window.channelCheckBox(step, 1)->parentWidget();
        m_targets.insert(frame, {step, 0});
        frame->installEventFilter(this);
    }
    // Step 1 is element 0 of Label1, step 2 is Label2, step n from 3 on element n - 2 of Label1.
    for (QLabel* label : m_window.findChildren<QLabel*>()) {
        int step = 0;
        if (label->objectName() == QLatin1String("Label2"))
            step = 2;
        else if (label->objectName() == QLatin1String("Label1"))
            step = label->property("index").toInt() == 0 ? 1 : label->property("index").toInt() + 2;
        if (step == 0)
            continue;
        m_targets.insert(label, {step, 0});
        label->installEventFilter(this);
    }
}

void EditMenus::buildEditMenu() {
    m_editMenu = m_window.menuBar()->addMenu(QStringLiteral("&Szerkesztés"));
    m_editMenu->setObjectName(QStringLiteral("editMenu"));
    UndoStack& stack = m_history->stack();

    m_undo = m_editMenu->addAction(QStringLiteral("Visszavonás"));
    m_undo->setObjectName(QStringLiteral("undo"));
    m_undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    m_redo = m_editMenu->addAction(QStringLiteral("Mégis"));
    m_redo->setObjectName(QStringLiteral("redo"));
    m_redo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    connect(m_undo, &QAction::triggered, &stack, &UndoStack::undo);
    connect(m_redo, &QAction::triggered, &stack, &UndoStack::redo);
    const auto updateUndo = [this, &stack] {
        const auto named = [](const char* what, const QString& change) {
            const QString text = QString::fromUtf8(what);
            return change.isEmpty() ? text : QStringLiteral("%1 (%2)").arg(text, change);
        };
        m_undo->setEnabled(stack.canUndo());
        m_undo->setText(named("Visszavonás", stack.undoText()));
        m_redo->setEnabled(stack.canRedo());
        m_redo->setText(named("Mégis", stack.redoText()));
    };
    connect(&stack, &UndoStack::indexChanged, this, updateUndo);
    updateUndo();

    m_editMenu->addSeparator();
    m_focusedHeading = addHeading(m_editMenu, QString());
    for (const StepToolEntry& entry : StepToolEntries) {
        if (startsGroup(entry.tool))
            m_editMenu->addSeparator();
        QAction* action = m_editMenu->addAction(QString::fromUtf8(entry.text));
        const StepTool tool = entry.tool;
        connect(action, &QAction::triggered, this, [this, tool] {
            if (const int step = focusedStep())
                runStepTool(tool, step);
        });
        action->setData(static_cast<int>(tool));
        m_focusedTools.append(action);
    }
    connect(m_editMenu, &QMenu::aboutToShow, this, &EditMenus::updateEditMenu);
    updateEditMenu();
}

void EditMenus::updateEditMenu() {
    const int step = focusedStep();
    m_focusedHeading->setText(step
                                  ? QStringLiteral("A kijelölt lépés: %1.").arg(step)
                                  : QStringLiteral("Nincs kijelölt lépés (kattintson egy lépés négyzetére)"));
    for (QAction* action : m_focusedTools) {
        const auto tool = static_cast<StepTool>(action->data().toInt());
        action->setEnabled(step != 0 && (tool != StepTool::Paste || m_copied.has_value()));
    }
}

void EditMenus::buildExamplesMenu() {
    auto* fileMenu = m_window.menuBar()->findChild<QMenu*>(QStringLiteral("menü2"));
    if (!fileMenu)
        return;
    m_examplesMenu = new QMenu(QStringLiteral("M&inták"), fileMenu);
    m_examplesMenu->setObjectName(QStringLiteral("examplesMenu"));
    // Beside the recent files, before the separator that sets Kilépés apart, when those exist.
    const QList<QAction*> entries = fileMenu->actions();
    QAction* before = nullptr;
    for (int i = 0; i + 1 < entries.size(); ++i) {
        if (entries[i]->menu() && entries[i]->menu()->objectName() == QLatin1String("legutobbi"))
            before = entries[i + 1];
    }
    if (before) {
        fileMenu->insertMenu(before, m_examplesMenu);
    } else {
        fileMenu->addSeparator();
        fileMenu->addMenu(m_examplesMenu);
    }
    const QList<ExampleLibrary::Example> examples = ExampleLibrary::examples();
    if (examples.isEmpty())
        addHeading(m_examplesMenu, QStringLiteral("Nincs telepített minta"));
    for (const ExampleLibrary::Example& example : examples) {
        QAction* action = m_examplesMenu->addAction(example.title);
        const QString path = example.path;
        connect(action, &QAction::triggered, this, [this, path] { m_effects.openExample(path); });
    }
}

void EditMenus::runStepTool(StepTool tool, int step) {
    if (step < 1 || step > StepCount)
        return;
    if (tool == StepTool::Copy) {
        m_copied = StepTools::copyStep(m_window, step);
        return;
    }
    if (tool == StepTool::Paste && !m_copied)
        return;
    const QString text = QStringLiteral("%1. lépés: %2").arg(step).arg(stepToolText(tool));
    m_history->recordWholeEffect(text, [this, tool, step] {
        StepPattern& boxes = m_window;
        switch (tool) {
        case StepTool::AllOn:
            StepTools::setAllChannels(boxes, step, true);
            break;
        case StepTool::AllOff:
            StepTools::setAllChannels(boxes, step, false);
            break;
        case StepTool::Invert:
            StepTools::invertStep(boxes, step);
            break;
        case StepTool::Paste:
            StepTools::pasteStep(boxes, step, *m_copied);
            break;
        case StepTool::ShiftLeft:
            StepTools::shiftLeft(boxes, step);
            break;
        case StepTool::ShiftRight:
            StepTools::shiftRight(boxes, step);
            break;
        case StepTool::Insert:
            StepTools::insertStep(boxes, step);
            break;
        case StepTool::Delete:
            StepTools::deleteStep(boxes, step);
            break;
        case StepTool::Copy:
            break;
        }
    });
}

void EditMenus::runChannelTool(ChannelTool tool, int channel) {
    if (channel < 1 || channel > ChannelCount)
        return;
    const QString text = QStringLiteral("%1. csatorna: %2").arg(channel).arg(channelToolText(tool));
    m_history->recordWholeEffect(text, [this, tool, channel] {
        StepPattern& boxes = m_window;
        if (tool == ChannelTool::Invert)
            StepTools::invertChannel(boxes, channel);
        else
            StepTools::setAllSteps(boxes, channel, tool == ChannelTool::AllOn);
    });
}

int EditMenus::focusedStep() const {
    QWidget* focus = m_window.focusWidget();
    if (!qobject_cast<QCheckBox*>(focus))
        return 0;
    const auto target = m_targets.constFind(focus);
    return target == m_targets.constEnd() ? 0 : target->first;
}

void EditMenus::addStepTools(QMenu* menu, int step) {
    for (const StepToolEntry& entry : StepToolEntries) {
        if (startsGroup(entry.tool))
            menu->addSeparator();
        QAction* action = menu->addAction(QString::fromUtf8(entry.text));
        const StepTool tool = entry.tool;
        action->setEnabled(tool != StepTool::Paste || m_copied.has_value());
        connect(action, &QAction::triggered, this, [this, tool, step] { runStepTool(tool, step); });
    }
}

QMenu* EditMenus::contextMenu(int step, int channel) {
    if (!m_contextMenu) {
        m_contextMenu = new QMenu(&m_window);
        m_contextMenu->setObjectName(QStringLiteral("stepMenu"));
    }
    QMenu* menu = m_contextMenu;
    menu->clear();
    addHeading(menu, QStringLiteral("%1. lépés").arg(step));
    addStepTools(menu, step);
    if (channel > 0) {
        menu->addSeparator();
        addHeading(menu, QStringLiteral("%1. csatorna").arg(channel));
        for (const ChannelToolEntry& entry : ChannelToolEntries) {
            QAction* action = menu->addAction(QString::fromUtf8(entry.text));
            const ChannelTool tool = entry.tool;
            connect(action, &QAction::triggered, this,
                    [this, tool, channel] { runChannelTool(tool, channel); });
        }
    }
    return menu;
}

bool EditMenus::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ContextMenu)
        return QObject::eventFilter(watched, event);
    const auto target = m_targets.constFind(watched);
    if (target == m_targets.constEnd())
        return QObject::eventFilter(watched, event);
    // Not exec(): no nested event loop, playback and the rest of the window go on meanwhile.
    contextMenu(target->first, target->second)->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
    return true;
}
