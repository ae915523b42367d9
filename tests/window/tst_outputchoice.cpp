#include "ChildProcesses.h"
#include "OlaTestServer.h"
#include "RecordingPort.h"

#include "output/OutputChoice.h"
#include "output/OutputRouter.h"
#include "output/ola/OlaDevices.h"
#include "output/ola/OlaSettingsDialog.h"
#include "ui/CommandLine.h"
#include "ui/Form1.h"
#include "ui/OutputMenu.h"

#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTreeWidget>
#include <QtTest>

namespace {

// The saved choice with the program's command line applied, as main() does it.
std::optional<OutputChoice> fromCommandLine(const QStringList& arguments, QString* error) {
    CommandLine commandLine;
    OutputChoice choice = OutputChoice::loadSaved();
    if (!commandLine.parse(QStringList{QStringLiteral("ktr")} + arguments)) {
        *error = commandLine.errorText();
        return std::nullopt;
    }
    if (!commandLine.applyOutputOptions(choice, error))
        return std::nullopt;
    return choice;
}

void clearSettings() {
    QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("ktr"), QStringLiteral("ktr"))
        .clear();
}

QStringList entries(QMenu* menu) {
    QStringList texts;
    for (QAction* action : menu->actions())
        texts.append(action->text() + (action->isChecked() ? QStringLiteral(" *") : QString()));
    return texts;
}

} // namespace

class OutputChoiceTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { clearSettings(); }
    void commandLine_data();
    void commandLine();
    void choiceSurvivesARestart();
    void badSettingsFallBackToDefaults();
    void newChoiceTakenUpAtNextStart();
    void menuOnTheWindow();
    void screenOnlyNeverReports();
    void missingOtherDeviceIsNotTheFirstPort();
    void dialogPatchesThePortChosen_data();
    void dialogPatchesThePortChosen();
};

void OutputChoiceTest::commandLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("universe");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("olaPort");
    const QString p0 = QStringLiteral("/dev/parport0");
    QTest::newRow("none") << QStringList{} << true << QStringLiteral("parport") << p0 << 1 << 1 << 9010;
    QTest::newRow("parport") << QStringList{"--output", "parport"} << true << QStringLiteral("parport") << p0
                             << 1 << 1 << 9010;
    QTest::newRow("parport:device") << QStringList{"--output=parport:/dev/parport2"} << true
                                    << QStringLiteral("parport") << "/dev/parport2" << 1 << 1 << 9010;
    QTest::newRow("parport:name") << QStringList{"--output", "parport:parport1"} << true
                                  << QStringLiteral("parport") << "/dev/parport1" << 1 << 1 << 9010;
    QTest::newRow("parport:direct") << QStringList{"--output", "parport:direct"} << true
                                    << QStringLiteral("parport") << "direct" << 1 << 1 << 9010;
    QTest::newRow("ola") << QStringList{"--output", "ola"} << true << QStringLiteral("ola") << p0 << 1 << 1
                         << 9010;
    QTest::newRow("ola:u:a, port") << QStringList{"--output", "ola:0:501", "--ola-port", "9100"} << true
                                   << QStringLiteral("ola") << p0 << 0 << 501 << 9100;
    QTest::newRow("ola:u") << QStringList{"--ola-port=1", "--output=ola:42"} << true << QStringLiteral("ola")
                           << p0 << 42 << 1 << 1;
    QTest::newRow("screen") << QStringList{"--output", "screen"} << true << QStringLiteral("screen") << p0
                            << 1 << 1 << 9010;
    const auto bad = [&](const char* name, const QStringList& arguments) {
        QTest::newRow(name) << arguments << false << QStringLiteral("parport") << p0 << 1 << 1 << 9010;
    };
    bad("unknown", {"--output", "dmx"});
    bad("missing value", {"--output"});
    bad("empty device", {"--output", "parport:"});
    bad("screen with a value", {"--output", "screen:1"});
    bad("address 0", {"--output", "ola:1:0"});
    bad("address 502", {"--output", "ola:1:502"});
    bad("universe not a number", {"--output", "ola:x"});
    bad("negative universe", {"--output", "ola:-1"});
    bad("too many parts", {"--output", "ola:1:1:1"});
    bad("port 0", {"--ola-port", "0"});
    bad("port 65536", {"--ola-port", "65536"});
    bad("port text", {"--ola-port=abc"});
    bad("empty output", {"--output="});
    bad("empty port", {"--ola-port="});
    bad("patch without a port", {"--ola-patch", "2-1"});
    bad("patch port not a number", {"--ola-patch", "2-1:x"});
}

void OutputChoiceTest::commandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(bool, ok);
    QString error;
    const auto choice = fromCommandLine(arguments, &error);
    QCOMPARE(choice.has_value(), ok);
    if (!ok) {
        QVERIFY(error.contains(QStringLiteral("--")) || error.contains(QStringLiteral("legyen")));
        return;
    }
    QFETCH(QString, kind);
    QFETCH(QString, device);
    QFETCH(int, universe);
    QFETCH(int, address);
    QFETCH(int, olaPort);
    QCOMPARE(choice->kind, kind);
    QCOMPARE(choice->setting("device"), device);
    QCOMPARE(choice->number("universe"), universe);
    QCOMPARE(choice->number("address"), address);
    QCOMPARE(choice->number("olaPort"), olaPort);
    QVERIFY(OutputChoice::loadSaved() == OutputChoice{}); // for this run only
}

void OutputChoiceTest::choiceSurvivesARestart() {
    OutputChoice chosen;
    {
        OutputRouter router(OutputChoice::loadSaved());
        QWidget window;
        auto* menu = new OutputMenu(router, &window);
        menu->findChild<QAction*>(QStringLiteral("dmx"))->trigger();
        auto* dialog = qobject_cast<OlaSettingsDialog*>(menu->dialog());
        QVERIFY(dialog);
        dialog->universeBox()->setValue(3);
        dialog->addressBox()->setValue(100);
        dialog->levelBox()->setValue(128);
        dialog->portBox()->setValue(9200);
        dialog->accept();
        chosen = router.choice();
    }
    QCOMPARE(chosen.kind, QStringLiteral("ola"));
    const OutputChoice restored = OutputChoice::loadSaved();
    QVERIFY(restored == chosen);
    QCOMPARE(restored.number("universe"), 3);
    QCOMPARE(restored.number("address"), 100);
    QCOMPARE(restored.number("level"), 128);
    QCOMPARE(restored.number("olaPort"), 9200);
    // A command line overrides it for one run without touching it, also when the menu is used.
    QString error;
    const auto override = fromCommandLine({"--output", "parport:parport3", "--ola-port", "9300"}, &error);
    QVERIFY(override);
    QVERIFY(OutputChoice::loadSaved() == chosen);
    OutputRouter router(*override);
    QWidget window;
    auto* menu = new OutputMenu(router, &window);
    menu->findChild<QAction*>(QStringLiteral("screen"))->trigger();
    OutputChoice expected = chosen;
    expected.kind = QStringLiteral("screen");
    QVERIFY(OutputChoice::loadSaved() == expected);
}

void OutputChoiceTest::badSettingsFallBackToDefaults() {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("ktr"),
                       QStringLiteral("ktr"));
    settings.setValue(QStringLiteral("output/kind"), QStringLiteral("ola"));
    settings.setValue(QStringLiteral("output/address"), 600);
    settings.setValue(QStringLiteral("output/level"), QStringLiteral("sok"));
    settings.setValue(QStringLiteral("output/universe"), 5);
    const OutputChoice choice = OutputChoice::load(settings);
    QCOMPARE(choice.kind, QStringLiteral("ola"));
    QCOMPARE(choice.number("universe"), 5);
    QCOMPARE(choice.number("address"), 1);
    QCOMPARE(choice.number("level"), 255);
}

void OutputChoiceTest::newChoiceTakenUpAtNextStart() {
    auto first = std::make_unique<RecordingPort>();
    auto second = std::make_unique<RecordingPort>();
    RecordingPort* firstPort = first.get();
    RecordingPort* secondPort = second.get();
    firstPort->setFault(QStringLiteral("nincs port"));
    OutputRouter router(OutputChoice{}, std::move(first));
    QVERIFY(!router.portOut(888, 1));
    QVERIFY(router.failing());
    OutputChoice screen;
    screen.kind = QStringLiteral("screen");
    router.choose(screen, std::move(second));
    QVERIFY(router.choice() == screen);
    QVERIFY(!router.portOut(888, 2)); // still the old output until START
    router.retry();
    QVERIFY(!router.failing());
    QVERIFY(router.portOut(888, 3));
    QVERIFY(router.portOut(890, 203));
    QCOMPARE(secondPort->writes, (QList<RecordingPort::Write>{{888, 3}, {890, 203}}));
}

void OutputChoiceTest::menuOnTheWindow() {
    auto recording = std::make_unique<RecordingPort>();
    RecordingPort* port = recording.get();
    OutputRouter router(OutputChoice{}, std::move(recording));
    Form1 window(router);
    window.engine().pauseTimer();
    const QList<QAction*> menus = window.menuBar()->actions();
    // After the original two, before the editing menu.
    QCOMPARE(menus.size(), 4);
    QCOMPARE(menus[1]->text().remove(u'&'), QStringLiteral("Névjegy"));
    QCOMPARE(menus[2]->text().remove(u'&'), QStringLiteral("Kimenet"));
    QCOMPARE(menus[3]->text().remove(u'&'), QStringLiteral("Szerkesztés"));
    auto* menu = qobject_cast<OutputMenu*>(menus[2]->menu());
    QVERIFY(menu);
    menu->refresh();
    const QStringList texts = entries(menu);
    QCOMPARE(texts.first(), QStringLiteral("Párhuzamos port (/dev/parport0) *"));
    // The outputs, then below a separator the web page's entry.
    QCOMPARE(texts.mid(texts.size() - 4), (QStringList{"DMX (OLA)…", "Csak képernyő", "", "Távvezérlés…"}));

    // A failing output is marked quietly on its entry.
    port->setFault(QStringLiteral("nincs port"));
    window.Start_Stop_Click();
    menu->refresh();
    QCOMPARE(entries(menu).first(), QStringLiteral("Párhuzamos port (/dev/parport0) (nem elérhető) *"));
    window.Start_Stop_Click();

    menu->findChild<QAction*>(QStringLiteral("screen"))->trigger();
    QCOMPARE(entries(menu).at(entries(menu).size() - 3), QStringLiteral("Csak képernyő *"));
    QCOMPARE(OutputChoice::loadSaved().kind, QStringLiteral("screen"));
    window.Start_Stop_Click(); // the next START plays to the screen only
    QVERIFY(!router.failing());
    menu->refresh();
    QCOMPARE(entries(menu).first(), QStringLiteral("Párhuzamos port (/dev/parport0)"));
}

void OutputChoiceTest::screenOnlyNeverReports() {
    OutputChoice screen;
    screen.kind = QStringLiteral("screen");
    OutputRouter router(screen);
    Form1 window(router);
    window.engine().pauseTimer();
    window.setEnableBox(1, 1);
    window.Start_Stop_Click();
    for (int i = 0; i < 5; ++i)
        window.engine().tickNow();
    QVERIFY(!window.portMessage());
    QVERIFY(!router.failing());
}

// A missing device is told as such; direct I/O never stands in for it unasked.
void OutputChoiceTest::missingOtherDeviceIsNotTheFirstPort() {
    QString error;
    const auto choice = fromCommandLine({"--output", "parport:parport97"}, &error);
    QVERIFY(choice);
    const std::unique_ptr<Port> port = choice->createPort();
    QVERIFY(!port->portOut(888, 0));
    QVERIFY(port->errorMessage().contains(QStringLiteral("/dev/parport97")));
}

void OutputChoiceTest::dialogPatchesThePortChosen_data() {
    QTest::addColumn<bool>("running");
    QTest::addColumn<int>("patchedTo"); // before the dialog; 0: free
    QTest::addColumn<bool>("moveIt");   // the answer to the question, when one is asked
    QTest::addColumn<int>("expected");  // after OK
    QTest::newRow("free port") << true << 0 << false << 1;
    QTest::newRow("port of another universe, moved") << true << 2 << true << 1;
    QTest::newRow("port of another universe, kept") << true << 2 << false << 2;
    QTest::newRow("no olad") << false << 0 << false << 0;
}

void OutputChoiceTest::dialogPatchesThePortChosen() {
    QFETCH(bool, running);
    QFETCH(int, patchedTo);
    QFETCH(bool, moveIt);
    QFETCH(int, expected);
    if (running)
        SKIP_WITHOUT_CHILD_PROCESSES(); // olad is a program of its own
    OlaTestServer olad({QStringLiteral("dummy")});
    if (running)
        QVERIFY(olad.start());
    OlaDevices other(olad.port());
    if (patchedTo)
        QVERIFY(other.patch(1, 0, unsigned(patchedTo)));
    OutputChoice current;
    current.settings[QStringLiteral("olaPort")] = QString::number(olad.port());
    OlaSettingsDialog dialog(current);
    dialog.open();
    QTreeWidget* list = dialog.deviceList();
    QCOMPARE(list->topLevelItemCount(), running ? 2 : 1); // "none", then the Dummy port
    QCOMPARE(dialog.oladState()->isVisibleTo(&dialog), !running);
    if (!running) {
        QVERIFY(dialog.oladState()->text().contains(QStringLiteral("nem érhető el")));
        dialog.universeBox()->setValue(9);
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.choice().number("universe"), 9);
        return;
    }
    const QTreeWidgetItem* dummy = list->topLevelItem(1);
    QCOMPARE(dummy->text(0), QStringLiteral("Dummy Device"));
    QCOMPARE(dummy->text(2), patchedTo ? QString::number(patchedTo) : QStringLiteral("szabad"));
    list->setCurrentItem(list->topLevelItem(1));
    dialog.accept();
    if (patchedTo) {
        QVERIFY(dialog.question());
        dialog.question()->button(moveIt ? QMessageBox::Yes : QMessageBox::No)->click();
    }
    const auto devices = other.devices();
    QVERIFY(devices);
    QCOMPARE(OlaDevices::find(*devices, QStringLiteral("1-1"))->outputs.front().universe, unsigned(expected));
    QCOMPARE(dialog.isVisible(), expected != 1); // a "no" keeps the dialog open
    QCOMPARE(dialog.choice().setting("patch"), expected == 1 ? QStringLiteral("1-1:0") : QString());
}

QTEST_MAIN(OutputChoiceTest)
#include "tst_outputchoice.moc"
