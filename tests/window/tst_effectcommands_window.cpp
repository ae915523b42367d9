#include "FakeChooser.h"
#include "FakeSaveQuestion.h"
#include "RecordingPort.h"
#include "effects/EffectCommands.h"
#include "effects/EffectFile.h"
#include "ui/Form1.h"

#include <QAction>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// What the File commands need of the window itself: the menu entries that run them, the box that
// shows a failure, and a speed bar as wide as the file's speed range. The commands themselves are
// tested without a window in tests/engine/tst_effectcommands.cpp.
class EffectCommandsWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void menuEntriesRunTheCommands_data();
    void menuEntriesRunTheCommands();
    void failedOpenIsShownWithoutBlocking();
    void speedBarCoversTheFileRange();

private:
    struct Window {
        Window() {
            form.setFileChooser(chooser);
            form.setSaveQuestion(question);
        }
        void run(const char* action) { form.findChild<QAction*>(QString::fromLatin1(action))->trigger(); }

        RecordingPort port;
        FakeChooser chooser;
        FakeSaveQuestion question;
        Form1 form{port};
    };
};

void EffectCommandsWindowTest::menuEntriesRunTheCommands_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("openCalls");
    QTest::addColumn<int>("saveCalls");
    QTest::newRow("Megnyitás") << "EffBe" << 1 << 0;
    QTest::newRow("Mentés without a file") << "Effki2" << 0 << 1;
    QTest::newRow("Mentés másként") << "Effki" << 0 << 1;
}

void EffectCommandsWindowTest::menuEntriesRunTheCommands() {
    QFETCH(QString, action);
    QFETCH(int, openCalls);
    QFETCH(int, saveCalls);

    Window w; // the chooser cancels
    QVERIFY(w.form.findChild<QAction*>(action));
    w.run(qPrintable(action));
    QCOMPARE(w.chooser.openCalls, openCalls);
    QCOMPARE(w.chooser.saveCalls, saveCalls);
}

void EffectCommandsWindowTest::failedOpenIsShownWithoutBlocking() {
    QTemporaryDir dir;
    Window w;
    QSignalSpy failures(&w.form.effectCommands(), &EffectCommands::failed);
    w.chooser.answer = dir.filePath(QStringLiteral("nincs.eff"));
    w.run("EffBe");
    QCOMPARE(failures.size(), 1);
    QVERIFY(w.form.fileMessage() &&
            w.form.fileMessage()->isVisible()); // shown, and we got here: not blocking
    QCOMPARE(w.form.fileMessage()->text(), failures.last().at(0).toString());
}

void EffectCommandsWindowTest::speedBarCoversTheFileRange() {
    Window w;
    // The file's speed range and the bar's must be the same.
    QCOMPARE(w.form.speedBar()->minimum(), SpeedMin);
    QCOMPARE(w.form.speedBar()->maximum(), SpeedMax);
}

QTEST_MAIN(EffectCommandsWindowTest)
#include "tst_effectcommands_window.moc"
