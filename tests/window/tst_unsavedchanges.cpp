#include "FakeSaveQuestion.h"
#include "RecordingPort.h"
#include "effects/EffectCommands.h"
#include "effects/FileChooser.h"
#include "effects/UnsavedChanges.h"
#include "ui/Form1.h"
#include "ui/MessageBoxSaveQuestion.h"

#include <QAction>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

namespace {

class Chooser : public FileChooser {
public:
    std::optional<QString> getOpenFileName() override { return openAnswer; }
    std::optional<QString> getSaveFileName() override { return saveAnswer; }
    bool confirmReplace(const QString&) override { return true; }

    std::optional<QString> openAnswer;
    std::optional<QString> saveAnswer; // no value: the user cancels
};

QByteArray effectFile(const QByteArray& firstStep) {
    QByteArray bytes = firstStep + "\r\n";
    for (int step = 2; step <= StepCount; ++step)
        bytes += "000000000000\r\n";
    return bytes + "300\r\nx\r\n";
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

struct Window {
    Window() {
        form.setFileChooser(chooser);
        form.setSaveQuestion(question);
        failures = std::make_unique<QSignalSpy>(&form.effectCommands(), &EffectCommands::failed);
    }
    void run(const char* action) { form.findChild<QAction*>(QString::fromLatin1(action))->trigger(); }

    RecordingPort port;
    Chooser chooser;
    FakeSaveQuestion question;
    Form1 form{port};
    std::unique_ptr<QSignalSpy> failures;
};

const QString Title = QStringLiteral("KTR (zorvány4.1)");
const QString Spaces(11, u' ');

} // namespace

class UnsavedChangesTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void markFollowsTheContent_data();
    void markFollowsTheContent();
    void questionAnswers_data();
    void questionAnswers();
    void speedEntryGoesThroughTheBar_data();
    void speedEntryGoesThroughTheBar();
    void startStopKeyLeavesSpaceToTheBoxes();
    void monitorLineNeverStaysSelected();
    void speedBarHasNoQtMenu();
    void recentFiles();
    void realQuestion_data();
    void realQuestion();
};

void UnsavedChangesTest::initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
}

void UnsavedChangesTest::markFollowsTheContent_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<bool>("modified");
    QTest::addColumn<QString>("caption");

    const QString saved = Title + Spaces + QStringLiteral("mentett.eff");
    const QString opened = Title + Spaces + QStringLiteral("be.eff");
    QTest::newRow("start") << QStringList{} << false << Title;
    QTest::newRow("channel box") << QStringList{"check"} << true << Title + u'*';
    QTest::newRow("box changed back") << QStringList{"check", "uncheck"} << false << Title;
    QTest::newRow("enable box") << QStringList{"enable"} << true << Title + u'*';
    QTest::newRow("speed") << QStringList{"speed 300"} << true << Title + u'*';
    QTest::newRow("speed changed back") << QStringList{"speed 300", "speed 200"} << false << Title;
    QTest::newRow("saved") << QStringList{"check", "saveAs"} << false << saved;
    QTest::newRow("edit after save") << QStringList{"check", "saveAs", "uncheck"} << true << saved + u'*';
    QTest::newRow("back to the saved state")
        << QStringList{"check", "saveAs", "uncheck", "check"} << false << saved;
    QTest::newRow("plain save") << QStringList{"check", "saveAs", "enable", "save"} << false << saved;
    QTest::newRow("opened, edit discarded") << QStringList{"check", "open"} << false << opened;
    QTest::newRow("opened file's box cleared") << QStringList{"open", "uncheck"} << true << opened + u'*';
    QTest::newRow("new, edit discarded")
        << QStringList{"check", "saveAs", "speed 300", "new"} << false << Title;
    QTest::newRow("edit after new") << QStringList{"open", "new", "enable"} << true << Title + u'*';
}

void UnsavedChangesTest::markFollowsTheContent() {
    QFETCH(QStringList, steps);
    QFETCH(bool, modified);
    QFETCH(QString, caption);

    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(QStringLiteral("be.eff")), effectFile("x00000000000")));
    Window w;
    w.chooser.openAnswer = dir.filePath(QStringLiteral("be.eff"));
    w.chooser.saveAnswer = dir.filePath(QStringLiteral("mentett.eff"));
    for (const QString& step : steps) {
        if (step == QLatin1String("check") || step == QLatin1String("uncheck"))
            w.form.channelCheckBox(1, 1)->click(); // step 1, channel 1: on in be.eff
        else if (step == QLatin1String("enable"))
            w.form.enableCheckBox(5)->click();
        else if (step.startsWith(QLatin1String("speed ")))
            w.form.speedBar()->setValue(step.mid(6).toInt());
        else if (step == QLatin1String("saveAs"))
            w.run("Effki");
        else if (step == QLatin1String("save"))
            w.run("Effki2");
        else if (step == QLatin1String("open"))
            w.run("EffBe");
        else if (step == QLatin1String("new"))
            w.run("uj");
        QVERIFY2(w.failures->isEmpty(), qPrintable(step));
    }
    QCOMPARE(w.form.effectCommands().changes().isModified(), modified);
    QCOMPARE(w.form.windowTitle(), caption);
    if (steps.contains(QStringLiteral("new")) && !modified) {
        QCOMPARE(w.form.channelBox(1, 1), 0);
        QCOMPARE(w.form.speedBar()->value(), 200);
        QVERIFY(w.form.module().effectPath.isEmpty());
    }
}

void UnsavedChangesTest::questionAnswers_data() {
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<bool>("edited");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("saveTo"); // file name in the folder, "-" for a cancelled Save As
    QTest::addColumn<bool>("goesOn");

    const int save = int(SaveQuestion::Answer::Save);
    const int discard = int(SaveQuestion::Answer::Discard);
    const int cancel = int(SaveQuestion::Answer::Cancel);
    for (const char* trigger : {"close", "EffBe", "uj", "kilepes"}) {
        auto row = [&](const char* what) { return QByteArray(trigger) + ", " + what; };
        QTest::newRow(row("unedited: no question").constData()) << trigger << false << cancel << "" << true;
        QTest::newRow(row("Mégse").constData()) << trigger << true << cancel << "" << false;
        QTest::newRow(row("Elvetés").constData()) << trigger << true << discard << "" << true;
        QTest::newRow(row("Mentés").constData()) << trigger << true << save << "mentett.eff" << true;
        QTest::newRow(row("Mentés fails").constData())
            << trigger << true << save << "nincs/mentett.eff" << false;
        QTest::newRow(row("Mentés, Save As cancelled").constData())
            << trigger << true << save << "-" << false;
    }
}

void UnsavedChangesTest::questionAnswers() {
    QFETCH(QString, trigger);
    QFETCH(bool, edited);
    QFETCH(int, answer);
    QFETCH(QString, saveTo);
    QFETCH(bool, goesOn);

    QTemporaryDir dir;
    const QString openPath = dir.filePath(QStringLiteral("be.eff"));
    QVERIFY(writeFile(openPath, effectFile("000000000000")));
    Window w;
    w.question.answer = SaveQuestion::Answer(answer);
    w.chooser.openAnswer = openPath;
    if (saveTo != QLatin1String("-"))
        w.chooser.saveAnswer = dir.filePath(saveTo);
    w.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.form));
    w.form.setEnableBox(1, 1);
    w.form.Start_Stop_Click();
    if (edited)
        w.form.channelCheckBox(2, 3)->click();
    else
        w.form.effectCommands().changes().markClean();

    if (trigger == QLatin1String("close"))
        w.form.close();
    else
        w.run(qPrintable(trigger));

    QCOMPARE(w.question.asked, edited ? 1 : 0);
    const bool closing = trigger == QLatin1String("close") || trigger == QLatin1String("kilepes");
    if (closing)
        QCOMPARE(w.form.isVisible(), !goesOn);
    else if (trigger == QLatin1String("EffBe"))
        QCOMPARE(w.form.module().effectPath == openPath, goesOn);
    else
        QCOMPARE(w.form.channelBox(2, 3) == 0, goesOn || !edited);
    if (!goesOn) { // everything as it was, the edit and playback included
        QCOMPARE(w.form.channelBox(2, 3), 1);
        QVERIFY(w.form.effectCommands().changes().isModified());
        QVERIFY(w.form.windowTitle().endsWith(u'*'));
        QCOMPARE(int(w.form.sequencer().running), 1);
        QVERIFY(w.form.sequencer().timer().isActive());
    } else if (!closing) {
        QCOMPARE(int(w.form.sequencer().running), 1); // never stopped by the question
    }
    const bool wroteFile = QFile::exists(dir.filePath(QStringLiteral("mentett.eff")));
    QCOMPARE(wroteFile, answer == int(SaveQuestion::Answer::Save) && goesOn);
    QCOMPARE(w.failures->size(), saveTo.startsWith(QLatin1String("nincs/")) ? 1 : 0);
}

void UnsavedChangesTest::speedEntryGoesThroughTheBar_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("bar");
    QTest::addColumn<int>("speed"); // -1: the change handler never ran

    QTest::newRow("typed 350") << "350" << 350 << 350;
    QTest::newRow("typed the bar's own value") << "200" << 200 << -1;
    QTest::newRow("typed 2") << "2" << 2 << 2;
    QTest::newRow("arrow up in the entry") << "<up>" << 201 << 201;
    QTest::newRow("Page Down on the bar") << "<pagedown>" << 210 << 210;
    QTest::newRow("arrow down on the bar") << "<down>" << 201 << 201;
}

void UnsavedChangesTest::speedEntryGoesThroughTheBar() {
    QFETCH(QString, input);
    QFETCH(int, bar);
    QFETCH(int, speed);

    Window w;
    auto* entry = w.form.findChild<QSpinBox*>(QStringLiteral("speedEntry"));
    QVERIFY(entry);
    QScrollBar* scrollBar = w.form.speedBar();
    QCOMPARE(entry->text(), QStringLiteral("200 ms"));
    if (input == QLatin1String("<up>")) {
        QTest::keyClick(entry, Qt::Key_Up);
    } else if (input == QLatin1String("<pagedown>")) {
        QTest::keyClick(scrollBar, Qt::Key_PageDown);
    } else if (input == QLatin1String("<down>")) {
        QTest::keyClick(scrollBar, Qt::Key_Down);
    } else {
        entry->selectAll();
        QTest::keyClicks(entry, input);
        QCOMPARE(scrollBar->value(), 200); // nothing while typing
        QTest::keyClick(entry, Qt::Key_Return);
    }
    QCOMPARE(scrollBar->value(), bar);
    QCOMPARE(entry->value(), bar);
    const auto& stored = w.form.sequencer().speed;
    QCOMPARE(stored ? int(*stored) : -1, speed);
    QCOMPARE(w.form.sequencer().timer().interval(), bar);
}

void UnsavedChangesTest::startStopKeyLeavesSpaceToTheBoxes() {
    Window w;
    w.form.show();
    w.form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w.form));
    QCheckBox* box = w.form.channelCheckBox(3, 4);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Space);
    QCOMPARE(w.form.channelBox(3, 4), 1);
    QCOMPARE(int(w.form.sequencer().running), 0);
    QTest::keyClick(box, Qt::Key_F5);
    QCOMPARE(int(w.form.sequencer().running), 1);
    QTest::keyClick(w.form.speedBar(), Qt::Key_F5);
    QCOMPARE(int(w.form.sequencer().running), 0);
    QCOMPARE(w.form.channelBox(3, 4), 1);
}

void UnsavedChangesTest::monitorLineNeverStaysSelected() {
    Window w;
    w.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.form));
    w.form.setMonitorLine(QStringLiteral("1 1 1 1 1 1 1 1"));
    auto* list = w.form.findChild<QListWidget*>(QStringLiteral("List1"));
    const QRect item = list->visualItemRect(list->item(0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
    QVERIFY(list->selectedItems().isEmpty());
    QVERIFY(!list->hasFocus());
}

// Qt's menu on the bar ("Fent" sets 2 ms at one click) would run its own loop until closed.
void UnsavedChangesTest::speedBarHasNoQtMenu() {
    Window w;
    w.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.form));
    QScrollBar* bar = w.form.speedBar();
    bool menuShown = false;
    QObject watchdog;
    QTimer::singleShot(200, &watchdog, [&] {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            menuShown = true;
            popup->close();
        }
    });
    const QPoint at(bar->width() / 2, bar->height() / 2);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, bar->mapToGlobal(at));
    QApplication::sendEvent(bar, &event);
    QVERIFY(!menuShown);
    QCOMPARE(bar->value(), 200);
}

void UnsavedChangesTest::recentFiles() {
    QTemporaryDir dir;
    Window w;
    QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("ktr"), QStringLiteral("ktr"))
        .clear();
    auto listed = [&w] {
        QStringList names;
        QMenu* menu = w.form.findChild<QMenu*>(QStringLiteral("legutobbi"));
        emit menu->aboutToShow();
        for (QAction* action : menu->actions())
            names << action->text();
        return names;
    };
    QVERIFY(listed().isEmpty());
    for (const char* name : {"a.eff", "b.eff", "a.eff"}) { // Save As twice, Open once
        w.chooser.saveAnswer = w.chooser.openAnswer = dir.filePath(QString::fromLatin1(name));
        w.run(QFile::exists(*w.chooser.openAnswer) ? "EffBe" : "Effki");
    }
    QCOMPARE(listed(), (QStringList{QStringLiteral("&1 a.eff"), QStringLiteral("&2 b.eff")}));

    QVERIFY(QFile::remove(dir.filePath(QStringLiteral("b.eff"))));
    w.form.findChild<QMenu*>(QStringLiteral("legutobbi"))->actions().at(1)->trigger();
    QCOMPARE(w.failures->size(), 1);
    QVERIFY(w.failures->last().at(0).toString().contains(QStringLiteral("b.eff")));
    QCOMPARE(listed(), QStringList{QStringLiteral("&1 a.eff")});
    QCOMPARE(w.form.module().effectPath, dir.filePath(QStringLiteral("a.eff")));
}

void UnsavedChangesTest::realQuestion_data() {
    QTest::addColumn<QString>("press"); // a button's text, or "Escape"
    QTest::addColumn<int>("answer");

    QTest::newRow("Mentés") << "Mentés" << int(SaveQuestion::Answer::Save);
    QTest::newRow("Elvetés") << "Elvetés" << int(SaveQuestion::Answer::Discard);
    QTest::newRow("Mégse") << "Mégse" << int(SaveQuestion::Answer::Cancel);
    QTest::newRow("Escape") << "Escape" << int(SaveQuestion::Answer::Cancel);
}

// The message box itself, answered from inside its own event loop.
void UnsavedChangesTest::realQuestion() {
    QFETCH(QString, press);
    QFETCH(int, answer);

    QWidget parent;
    MessageBoxSaveQuestion question(&parent, Title);
    QStringList seen;
    QTimer::singleShot(0, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen << box->windowTitle() << box->text();
        for (QAbstractButton* button : box->buttons())
            seen << button->text().remove(u'&');
        if (press == QLatin1String("Escape")) {
            QTest::keyClick(box, Qt::Key_Escape);
            return;
        }
        for (QAbstractButton* button : box->buttons()) {
            if (button->text().remove(u'&') == press)
                button->click();
        }
    });
    QCOMPARE(int(question.ask()), answer);
    QCOMPARE(seen.mid(0, 2), (QStringList{Title, QStringLiteral("Menti a változásokat?")}));
    QStringList buttons = seen.mid(2); // in the order the platform lays them out
    buttons.sort();
    QCOMPARE(buttons,
             (QStringList{QStringLiteral("Elvetés"), QStringLiteral("Mentés"), QStringLiteral("Mégse")}));
}

QTEST_MAIN(UnsavedChangesTest)
#include "tst_unsavedchanges.moc"
