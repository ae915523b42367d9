#include "RecordingPort.h"
#include "output/OutputChoice.h"
#include "output/OutputRouter.h"
#include "ui/CommandLine.h"
#include "ui/Form1.h"
#include "ui/OlaSettingsDialog.h"
#include "ui/OutputMenu.h"

#include <QMenuBar>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QtTest>

Q_DECLARE_METATYPE(OutputChoice::Kind)

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
};

void OutputChoiceTest::commandLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<OutputChoice::Kind>("kind");
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("universe");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("olaPort");
    using K = OutputChoice::Kind;
    const QString p0 = QStringLiteral("/dev/parport0");
    QTest::newRow("none") << QStringList{} << true << K::Parport << p0 << 1 << 1 << 9010;
    QTest::newRow("parport") << QStringList{"--output", "parport"} << true << K::Parport << p0 << 1 << 1
                             << 9010;
    QTest::newRow("parport:device") << QStringList{"--output=parport:/dev/parport2"} << true << K::Parport
                                    << "/dev/parport2" << 1 << 1 << 9010;
    QTest::newRow("parport:name") << QStringList{"--output", "parport:parport1"} << true << K::Parport
                                  << "/dev/parport1" << 1 << 1 << 9010;
    QTest::newRow("ola") << QStringList{"--output", "ola"} << true << K::Ola << p0 << 1 << 1 << 9010;
    QTest::newRow("ola:u:a, port") << QStringList{"--output", "ola:0:501", "--ola-port", "9100"} << true
                                   << K::Ola << p0 << 0 << 501 << 9100;
    QTest::newRow("ola:u") << QStringList{"--ola-port=1", "--output=ola:42"} << true << K::Ola << p0 << 42
                           << 1 << 1;
    QTest::newRow("screen") << QStringList{"--output", "screen"} << true << K::Screen << p0 << 1 << 1 << 9010;
    const auto bad = [&](const char* name, const QStringList& arguments) {
        QTest::newRow(name) << arguments << false << K::Parport << p0 << 1 << 1 << 9010;
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
    QFETCH(OutputChoice::Kind, kind);
    QFETCH(QString, device);
    QFETCH(int, universe);
    QFETCH(int, address);
    QFETCH(int, olaPort);
    QCOMPARE(choice->kind, kind);
    QCOMPARE(choice->device, device);
    QCOMPARE(choice->universe, universe);
    QCOMPARE(choice->address, address);
    QCOMPARE(choice->olaPort, olaPort);
    QVERIFY(OutputChoice::loadSaved() == OutputChoice{}); // for this run only
}

void OutputChoiceTest::choiceSurvivesARestart() {
    OutputChoice chosen;
    {
        OutputRouter router(OutputChoice::loadSaved());
        QWidget window;
        auto* menu = new OutputMenu(router, &window);
        menu->findChild<QAction*>(QStringLiteral("dmx"))->trigger();
        OlaSettingsDialog* dialog = menu->olaDialog();
        QVERIFY(dialog);
        dialog->universeBox()->setValue(3);
        dialog->addressBox()->setValue(100);
        dialog->levelBox()->setValue(128);
        dialog->portBox()->setValue(9200);
        dialog->accept();
        chosen = router.choice();
    }
    QCOMPARE(chosen.kind, OutputChoice::Kind::Ola);
    const OutputChoice restored = OutputChoice::loadSaved();
    QVERIFY(restored == chosen);
    QCOMPARE(restored.universe, 3);
    QCOMPARE(restored.address, 100);
    QCOMPARE(restored.level, 128);
    QCOMPARE(restored.olaPort, 9200);
    // A command line overrides it for one run without touching it.
    QString error;
    QVERIFY(fromCommandLine({"--output", "screen"}, &error)->kind == OutputChoice::Kind::Screen);
    QVERIFY(OutputChoice::loadSaved() == chosen);
}

void OutputChoiceTest::badSettingsFallBackToDefaults() {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("ktr"),
                       QStringLiteral("ktr"));
    settings.setValue(QStringLiteral("output/kind"), QStringLiteral("ola"));
    settings.setValue(QStringLiteral("output/address"), 600);
    settings.setValue(QStringLiteral("output/level"), QStringLiteral("sok"));
    settings.setValue(QStringLiteral("output/universe"), 5);
    const OutputChoice choice = OutputChoice::load(settings);
    QCOMPARE(choice.kind, OutputChoice::Kind::Ola);
    QCOMPARE(choice.universe, 5);
    QCOMPARE(choice.address, 1);
    QCOMPARE(choice.level, 255);
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
    screen.kind = OutputChoice::Kind::Screen;
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
    window.sequencer().timer().stop();
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
    QCOMPARE(texts.mid(texts.size() - 2), (QStringList{"DMX (OLA)…", "Csak képernyő"}));

    // A failing output is marked quietly on its entry.
    port->setFault(QStringLiteral("nincs port"));
    window.Start_Stop_Click();
    menu->refresh();
    QCOMPARE(entries(menu).first(), QStringLiteral("Párhuzamos port (/dev/parport0) (nem elérhető) *"));
    window.Start_Stop_Click();

    menu->findChild<QAction*>(QStringLiteral("screen"))->trigger();
    QCOMPARE(entries(menu).last(), QStringLiteral("Csak képernyő *"));
    QCOMPARE(OutputChoice::loadSaved().kind, OutputChoice::Kind::Screen);
    window.Start_Stop_Click(); // the next START plays to the screen only
    QVERIFY(!router.failing());
    menu->refresh();
    QCOMPARE(entries(menu).first(), QStringLiteral("Párhuzamos port (/dev/parport0)"));
}

void OutputChoiceTest::screenOnlyNeverReports() {
    OutputChoice screen;
    screen.kind = OutputChoice::Kind::Screen;
    OutputRouter router(screen);
    Form1 window(router);
    window.sequencer().timer().stop();
    window.setEnableBox(1, 1);
    window.Start_Stop_Click();
    for (int i = 0; i < 5; ++i)
        window.sequencer().tick();
    QVERIFY(!window.portMessage());
    QVERIFY(!router.failing());
}

// Direct I/O on 0x378 stands in for /dev/parport0 only; any other device missing is told as such.
void OutputChoiceTest::missingOtherDeviceIsNotTheFirstPort() {
    QString error;
    const auto choice = fromCommandLine({"--output", "parport:parport97"}, &error);
    QVERIFY(choice);
    const std::unique_ptr<Port> port = choice->createPort();
    QVERIFY(!port->portOut(888, 0));
    QVERIFY(port->errorMessage().contains(QStringLiteral("/dev/parport97")));
}

QTEST_MAIN(OutputChoiceTest)
#include "tst_outputchoice.moc"
