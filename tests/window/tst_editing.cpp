#include "FakeSaveQuestion.h"
#include "RecordingPort.h"
#include "editing/EditHistory.h"
#include "editing/ExampleLibrary.h"
#include "effects/EffectCommands.h"
#include "effects/EffectFile.h"
#include "effects/FileChooser.h"
#include "ui/EditMenus.h"
#include "ui/Form1.h"

#include <QAction>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

namespace {

class FakeChooser : public FileChooser {
public:
    std::optional<QString> getOpenFileName() override { return answer; }
    std::optional<QString> getSaveFileName() override {
        ++saveCalls;
        return answer;
    }
    bool confirmReplace(const QString&) override { return true; }

    std::optional<QString> answer;
    int saveCalls = 0;
};

struct Window {
    Window() {
        form.setFileChooser(chooser);
        form.setSaveQuestion(question); // the edits here are thrown away when a file opens
        form.engine().pauseTimer();     // ticks are driven by hand
        form.show();
    }
    QByteArray bytes() { return writeEffect(form, form.sequencer().speed, form.module()); }
    EditMenus& edit() { return form.editMenus(); }
    UndoStack& stack() { return edit().history().stack(); }
    void speedStep(int count) {
        for (int i = 0; i < count; ++i)
            form.speedBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    }
    void undoAll() {
        while (stack().canUndo())
            edit().undoAction()->trigger();
    }
    void redoAll() {
        while (stack().canRedo())
            edit().redoAction()->trigger();
    }
    void click(int step, int channel) {
        QTest::mouseClick(channel ? form.channelCheckBox(step, channel) : form.enableCheckBox(step),
                          Qt::LeftButton);
    }
    QStringList texts(QMenu* menu) {
        QStringList result;
        for (QAction* action : menu->actions())
            result << (action->isSeparator() ? QStringLiteral("-") : action->text());
        return result;
    }

    RecordingPort port;
    FakeChooser chooser;
    FakeSaveQuestion question;
    Form1 form{port};
};

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

using Tool = EditMenus::StepTool;

} // namespace

class EditingTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); } // recent files, last folder
    void undoAndRedoGiveByteIdenticalEffects();
    void speedChangesAreOneStepAndUndoToAnEmptySpeed();
    void undoOfOpenKeepsTheFileName();
    void examplesOpenWithoutBecomingTheCurrentFile();
    void contextMenusOfRowsAndColumns();
    void editMenuActsOnTheFocusedStep();
    void remoteStepsAndStartShowInTheWindow();
};

void EditingTest::undoAndRedoGiveByteIdenticalEffects() {
    Window w;
    w.form.setChannelBox(2, 3, 1); // as if from a file: not an undo step
    w.form.setEnableBox(2, 1);
    const QByteArray start = w.bytes();
    w.form.Start_Stop_Click();

    w.click(1, 1);
    w.click(1, 12);
    w.click(1, 0);
    w.edit().runStepTool(Tool::Copy, 1);
    w.edit().runStepTool(Tool::Paste, 5);
    w.edit().runStepTool(Tool::ShiftRight, 5);
    w.click(5, 4);
    w.edit().runStepTool(Tool::Insert, 2);
    w.edit().runChannelTool(EditMenus::ChannelTool::Invert, 7);
    w.speedStep(3);
    w.edit().runStepTool(Tool::Delete, 1);
    w.click(22, 0);
    w.edit().runStepTool(Tool::AllOn, 22);
    w.edit().runStepTool(Tool::AllOn, 22); // changes nothing: no step
    const QByteArray end = w.bytes();
    QVERIFY(end != start);
    QCOMPARE(w.stack().count(), 12); // neither Copy nor a tool without effect is a step

    w.undoAll();
    QCOMPARE(w.bytes(), start);
    w.redoAll();
    QCOMPARE(w.bytes(), end);
    w.undoAll();
    QCOMPARE(w.bytes(), start);
    QCOMPARE(int(w.form.sequencer().running), 1); // undo leaves playback alone
}

void EditingTest::speedChangesAreOneStepAndUndoToAnEmptySpeed() {
    Window w;
    const QByteArray start = w.bytes(); // an empty speed line
    w.speedStep(5);
    QCOMPARE(w.stack().count(), 1);
    QCOMPARE(w.form.sequencer().timer().interval(), 205);
    w.click(3, 3);
    w.speedStep(1); // a new step after the click
    QCOMPARE(w.stack().count(), 3);

    w.edit().undoAction()->trigger();
    QCOMPARE(w.form.speedBar()->value(), 205);
    QCOMPARE(w.form.sequencer().timer().interval(), 205);
    w.undoAll();
    QCOMPARE(w.form.speedBar()->value(), 200);
    QCOMPARE(w.form.sequencer().timer().interval(), 200);
    QVERIFY(!w.form.sequencer().speed.has_value());
    QCOMPARE(w.bytes(), start);

    // Back and forth to where it began is no step at all.
    w.speedStep(1);
    w.click(1, 1);
    w.speedStep(2);
    w.form.speedBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    w.form.speedBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    QCOMPARE(w.stack().count(), 2);
    QCOMPARE(w.edit().undoAction()->text(), QStringLiteral("Visszavonás (1. lépés, 1. csatorna be)"));
}

void EditingTest::undoOfOpenKeepsTheFileName() {
    Window w;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.eff"));
    const QByteArray file =
        QByteArray("x00000000000\r\n").repeated(StepCount) + "300\r\n" + QByteArray(StepCount, 'x') + "\r\n";
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
    out.close();

    w.click(4, 4);
    const QByteArray before = w.bytes();
    w.chooser.answer = path;
    w.form.findChild<QAction*>(QStringLiteral("EffBe"))->trigger();
    QCOMPARE(w.bytes(), file);
    QCOMPARE(w.form.sequencer().timer().interval(), 300);

    w.edit().undoAction()->trigger();
    QCOMPARE(w.bytes(), before);
    QCOMPARE(w.form.sequencer().timer().interval(), 200);
    QCOMPARE(w.form.module().effectPath, path);
    QVERIFY(w.form.windowTitle().endsWith(QStringLiteral("a.eff*"))); // no longer what the file holds
    w.edit().redoAction()->trigger();
    QCOMPARE(w.bytes(), file);
    QVERIFY(w.form.windowTitle().endsWith(QStringLiteral("a.eff"))); // back to the file: no mark

    // A file that fails to open is no step.
    w.chooser.answer = dir.filePath(QStringLiteral("missing.eff"));
    w.form.findChild<QAction*>(QStringLiteral("EffBe"))->trigger();
    QCOMPARE(w.stack().count(), 2);
    w.form.fileMessage()->close();
}

void EditingTest::examplesOpenWithoutBecomingTheCurrentFile() {
    const QList<ExampleLibrary::Example> examples = ExampleLibrary::examples();
    QCOMPARE(examples.size(), 5);
    for (const ExampleLibrary::Example& example : examples) {
        const EffectParseResult parsed = parseEffect(readFile(example.path), example.path);
        QVERIFY2(parsed.effect, qPrintable(parsed.error));
        QVERIFY(parsed.effect->grid.speed().has_value());
        QVERIFY(parsed.effect->grid.enableText().count(u'x') >= 2);
    }

    Window w;
    QMenu* menu = w.edit().examplesMenu();
    QCOMPARE(menu->actions().size(), 5);
    QCOMPARE(menu->actions().first()->text(), QStringLiteral("Futófény"));
    const QByteArray original = readFile(examples.first().path);
    menu->actions().first()->trigger();
    QCOMPARE(w.bytes(), original);
    QVERIFY(w.form.module().effectPath.isEmpty());
    QCOMPARE(w.form.windowTitle(), Form1::Title + QString(11, u' ') + QStringLiteral("futofeny.eff"));

    w.edit().runStepTool(Tool::Invert, 1);
    QTemporaryDir dir;
    w.chooser.answer = dir.filePath(QStringLiteral("sajat"));
    w.form.findChild<QAction*>(QStringLiteral("Effki2"))->trigger(); // Save asks for a name
    QCOMPARE(w.chooser.saveCalls, 1);
    QCOMPARE(readFile(examples.first().path), original);
    QCOMPARE(readFile(dir.filePath(QStringLiteral("sajat.eff"))), w.bytes());
    QCOMPARE(w.form.module().effectPath, dir.filePath(QStringLiteral("sajat.eff")));
}

void EditingTest::contextMenusOfRowsAndColumns() {
    Window w;
    // A right-click on the label of step 2 (Label2) offers the tools of that step.
    auto* label = w.form.findChild<QLabel*>(QStringLiteral("Label2"));
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), label->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(label, &event);
    auto* menu = w.form.findChild<QMenu*>(QStringLiteral("stepMenu"));
    QVERIFY(menu);
    QTRY_VERIFY(menu->isVisible());
    const QStringList stepTools{QStringLiteral("2. lépés"),
                                QStringLiteral("Minden csatorna be"),
                                QStringLiteral("Minden csatorna ki"),
                                QStringLiteral("Megfordítás"),
                                QStringLiteral("-"),
                                QStringLiteral("Másolás"),
                                QStringLiteral("Beillesztés"),
                                QStringLiteral("-"),
                                QStringLiteral("Eltolás balra"),
                                QStringLiteral("Eltolás jobbra"),
                                QStringLiteral("-"),
                                QStringLiteral("Lépés beszúrása"),
                                QStringLiteral("Lépés törlése")};
    QCOMPARE(w.texts(menu), stepTools);
    menu->actions().at(1)->trigger();
    QCOMPARE(StepTools::copyStep(w.form, 2), EffectGrid::AllChannels);
    menu->hide();

    // On a channel box: the step's tools, then its column's.
    QMenu* boxMenu = w.edit().contextMenu(9, 3);
    QCOMPARE(
        w.texts(boxMenu).mid(13),
        (QStringList{QStringLiteral("-"), QStringLiteral("3. csatorna"), QStringLiteral("Minden lépés be"),
                     QStringLiteral("Minden lépés ki"), QStringLiteral("Megfordítás")}));
    boxMenu->actions().at(15)->trigger();
    for (int step = 1; step <= StepCount; ++step)
        QCOMPARE(w.form.channelBox(step, 3), 1);
    w.edit().undoAction()->trigger();
    QCOMPARE(w.form.channelBox(9, 3), 0);
    QCOMPARE(w.form.channelBox(2, 3), 1);
}

void EditingTest::editMenuActsOnTheFocusedStep() {
    Window w;
    const QList<QAction*> top = w.form.menuBar()->actions();
    QCOMPARE(top.last()->text(), QStringLiteral("&Szerkesztés"));
    QCOMPARE(w.edit().undoAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
    QCOMPARE(w.edit().redoAction()->shortcuts(),
             (QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
                                  QKeySequence(Qt::CTRL | Qt::Key_Y)}));

    w.form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.form));
    w.click(7, 5); // a click gives the box the focus
    w.form.setEnableBox(7, 1);
    QCOMPARE(w.edit().focusedStep(), 7);
    QTest::keyClick(w.form.enableCheckBox(8), Qt::Key_Space); // the keyboard counts like a click
    QCOMPARE(w.stack().count(), 2);
    w.form.enableCheckBox(8)->setFocus();
    QCOMPARE(w.edit().focusedStep(), 8);

    emit w.edit().editMenu()->aboutToShow();
    QAction* remove = nullptr;
    for (QAction* action : w.edit().editMenu()->actions()) {
        if (action->text() == QStringLiteral("Lépés törlése"))
            remove = action;
    }
    QVERIFY(remove && remove->isEnabled());
    w.form.channelCheckBox(7, 5)->setFocus();
    remove->trigger();
    QCOMPARE(w.form.channelBox(7, 5), 0);
    QCOMPARE(w.form.enableBox(7), 1); // step 8's enable box moved up
    QCOMPARE(w.edit().undoAction()->text(), QStringLiteral("Visszavonás (7. lépés: Lépés törlése)"));
    QTest::keyClick(&w.form, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(w.form.channelBox(7, 5), 1);
    QTest::keyClick(&w.form, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(w.form.channelBox(7, 5), 0);
}

// A remote's edit lands in the boxes as one undo step, and its START on the button and the label.
void EditingTest::remoteStepsAndStartShowInTheWindow() {
    Window w;
    ShowControl& show = w.form.showControl();
    QVERIFY(show.setStep(4, true, *EffectGrid::channelsFromText(u"xx0000000000")).ok());
    QCOMPARE(w.form.channelBox(4, 1) + w.form.channelBox(4, 2) + w.form.enableBox(4), 3);
    QCOMPARE(w.stack().count(), 1);
    QVERIFY(w.form.windowTitle().endsWith(u'*'));
    show.start();
    QTRY_COMPARE(w.form.findChild<QPushButton*>(QStringLiteral("Start_Stop"))->text(),
                 QStringLiteral("STOP"));
    QCOMPARE(w.form.findChild<QLabel*>(QStringLiteral("Label6"))->text(), QStringLiteral("Fut."));
    w.edit().undoAction()->trigger();
    QCOMPARE(w.form.channelBox(4, 1) + w.form.channelBox(4, 2) + w.form.enableBox(4), 0);
    QVERIFY(show.running()); // undo leaves playback alone
}

QTEST_MAIN(EditingTest)
#include "tst_editing.moc"
