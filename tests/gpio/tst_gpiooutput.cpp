#include "FakeGpioChip.h"
#include "FakeStepPattern.h"

#include "SequencerRig.h"
#include "output/Module1.h"
#include "output/OutputChoice.h"
#include "output/OutputRouter.h"
#include "output/gpio/GpioPort.h"
#include "output/gpio/GpioSettingsDialog.h"
#include "sequencer/Sequencer.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>

namespace {

OutputChoice choiceFrom(const QString& value) {
    OutputChoice choice;
    QString error;
    if (!choice.applyOutputOption(value, &error))
        qFatal("%s", qPrintable(error));
    return choice;
}

GpioSettings settingsFrom(const QString& value) {
    return GpioSettings::from(choiceFrom(value).settings);
}

// The levels the fake's lines drive, for the offsets listed.
QList<int> levelsAt(const QList<int>& offsets) {
    const std::vector<int> all = FakeGpioChip::levels();
    QList<int> result;
    for (const int offset : offsets)
        result << all[std::size_t(offset)];
    return result;
}

QList<int> drivenOffsets(const GpioSettings& settings) {
    QList<int> offsets;
    for (const int line : settings.lines) {
        if (line != GpioSettings::NotDriven)
            offsets << line;
    }
    return offsets;
}

using Show = SequencerRig<GpioPort>;

} // namespace

class GpioOutputTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void playedStepLevels_data();
    void playedStepLevels();
    void workedExampleAt50ms();
    void newChoiceOnTheSameLinesAtStart();
    void failures_data();
    void failures();
    void settingsText_data();
    void settingsText();
    void settingsFileFallsBack();
    void menuKeepsTheChosenChip();
    void dialogRefusesRepeatedLine();

private:
    QTemporaryDir m_sysfs;
};

void GpioOutputTest::init() {
    FakeGpioChip::install("gpiochip0", 54, "pinctrl-bcm2711", m_sysfs.path().toStdString());
}

void GpioOutputTest::playedStepLevels_data() {
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("row");
    QTest::addColumn<QList<int>>("atStart"); // per listed line, after the first START
    QTest::addColumn<QList<int>>("played");
    const QString twelve = QStringLiteral("gpio:gpiochip0:0,1,2,3,4,5,6,7,8,9,10,11");
    const QList<int> zeros(12, 0);
    QTest::newRow("channels 1, 8, 10")
        << twelve << "x000000x0x00" << zeros << QList<int>{1, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 0};
    QTest::newRow("channel 9 (inverted C3)")
        << twelve << "00000000x000" << zeros << QList<int>{0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0};
    QTest::newRow("channel 10 (C2)") << twelve << "000000000x00" << zeros
                                     << QList<int>{0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0};
    QTest::newRow("channel 11 (inverted C1)")
        << twelve << "0000000000x0" << zeros << QList<int>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0};
    QTest::newRow("channel 12 (inverted C0)")
        << twelve << "00000000000x" << zeros << QList<int>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    QTest::newRow(":low: on drives low, START pulls in nothing")
        << twelve + ":low"
        << "x0000000x00x" << QList<int>(12, 1) << QList<int>{0, 1, 1, 1, 1, 1, 1, 1, 0, 1, 1, 0};
    QTest::newRow("8-relay board on a Pi")
        << "gpio:/dev/gpiochip0:17,18,27,22,23,24,25,4:low"
        << "0x0000x0xxxx" << QList<int>(8, 1) << QList<int>{1, 0, 1, 1, 1, 1, 0, 1};
    QTest::newRow("channel 2 not driven") << "gpio:gpiochip0:5,,6"
                                          << "xxx000000000" << QList<int>{0, 0} << QList<int>{1, 1};
}

void GpioOutputTest::playedStepLevels() {
    QFETCH(QString, output);
    QFETCH(QString, row);
    QFETCH(QList<int>, atStart);
    QFETCH(QList<int>, played);
    const GpioSettings settings = settingsFrom(output);
    const QList<int> offsets = drivenOffsets(settings);
    {
        Show show(settings);
        show.boxes.setRow(1, row);
        show.boxes.enableOnly({1});
        QCOMPARE(FakeGpioChip::requests(), 0); // nothing before the first START

        show.sequencer.startStop();
        QCOMPARE(FakeGpioChip::requests(), 1);
        QCOMPARE(FakeGpioChip::valueWrites(), 0); // the request itself set the START levels
        QCOMPARE(levelsAt(offsets), atStart);
        QCOMPARE(QString::fromStdString(FakeGpioChip::consumer(unsigned(offsets.first()))),
                 QStringLiteral("ktr"));

        show.sequencer.tick();
        QCOMPARE(FakeGpioChip::valueWrites(), 1); // all lines of the step in one call
        QCOMPARE(levelsAt(offsets), played);
        QVERIFY(!show.port.failing());
    }
    QCOMPARE(FakeGpioChip::openDescriptors(), 0); // released with the output
    QCOMPARE(FakeGpioChip::consumer(unsigned(offsets.first())), std::string());
}

void GpioOutputTest::workedExampleAt50ms() {
    Show show(settingsFrom(QStringLiteral("gpio:gpiochip0:0,1,2,3,4,5,6,7,8,9,10,11")));
    show.boxes.setRow(3, QStringLiteral("x000000x0x00"));
    show.boxes.setRow(7, QStringLiteral("0x00000000xx"));
    show.boxes.enableOnly({3, 7});
    show.sequencer.speedChanged(50);
    QCOMPARE(show.sequencer.timer().interval(), 50);
    show.sequencer.startStop();

    const QList<int> step3{1, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 0};
    const QList<int> step7{0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1};
    const QList<int> offsets{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    // Empty tick, step 3, step 7, empty tick (the lines keep step 7), step 3, step 7.
    const QList<QList<int>> expected{QList<int>(12, 0), step3, step7, step7, step3, step7};
    const QList<int> writes{0, 1, 2, 2, 3, 4};
    for (int tick = 0; tick < expected.size(); ++tick) {
        show.sequencer.tick();
        QCOMPARE(levelsAt(offsets), expected[tick]);
        QCOMPARE(FakeGpioChip::valueWrites(), writes[tick]);
    }
    QCOMPARE(FakeGpioChip::requests(), 1);
}

void GpioOutputTest::newChoiceOnTheSameLinesAtStart() {
    // The output left at START is closed on the router's thread while the new one takes the lines.
    OutputRouter router(choiceFrom(QStringLiteral("gpio:gpiochip0:17,18")));
    FakeStepPattern boxes;
    Module1 module;
    Sequencer sequencer{boxes, boxes, module, router};
    sequencer.timer().stop();
    sequencer.load();
    QSignalSpy failures(&sequencer, &Sequencer::portFailed);
    boxes.setRow(1, QStringLiteral("x00000000000"));
    boxes.enableOnly({1});
    sequencer.startStop();
    sequencer.tick();
    router.choose(choiceFrom(QStringLiteral("gpio:gpiochip0:18,17:low")));
    sequencer.startStop();
    sequencer.startStop(); // START with the new lines
    QCOMPARE(failures.size(), 0);
    QCOMPARE(levelsAt({18, 17}), (QList<int>{1, 1}));
    sequencer.tick();
    QCOMPARE(levelsAt({18, 17}), (QList<int>{0, 1}));
}

void GpioOutputTest::failures_data() {
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("busyConsumer"); // holds line 18
    QTest::addColumn<int>("openError");
    QTest::addColumn<bool>("sysfs");
    QTest::addColumn<QStringList>("named"); // in the message

    QTest::newRow("missing chip") << "gpio:gpiochip3:17"
                                  << "" << 0 << true << QStringList{"/dev/gpiochip3", "gpiodetect"};
    QTest::newRow("busy line") << "gpio:gpiochip0:17,18"
                               << "spi0" << 0 << true
                               << QStringList{"2. csatorna", "(18)", "„spi0”", "/dev/gpiochip0"};
    QTest::newRow("line held by another KTR") << "gpio:gpiochip0:18"
                                              << "ktr" << 0 << true << QStringList{"egy másik futó KTR"};
    QTest::newRow("offset beyond the chip")
        << "gpio:gpiochip0:17,54"
        << "" << 0 << true << QStringList{"2. csatorna", "(54)", "0 és 53"};
    QTest::newRow("no permission") << "gpio:gpiochip0:17"
                                   << "" << EACCES << true << QStringList{"jogosultság", "gpio csoport"};
    QTest::newRow("no sysfs attribute")
        << "gpio:gpiochip0:17"
        << "" << 0 << false << QStringList{"nem GPIO-csip", "/sys/bus/gpio/devices/gpiochip0"};
}

void GpioOutputTest::failures() {
    QFETCH(QString, output);
    QFETCH(QString, busyConsumer);
    QFETCH(int, openError);
    QFETCH(bool, sysfs);
    QFETCH(QStringList, named);
    FakeGpioChip::install("gpiochip0", 54, "pinctrl-bcm2711", m_sysfs.path().toStdString(), sysfs);
    if (!busyConsumer.isEmpty())
        FakeGpioChip::setBusy(18, busyConsumer.toStdString());
    FakeGpioChip::setOpenError(openError);

    Show show(settingsFrom(output));
    QSignalSpy failures(&show.sequencer, &Sequencer::portFailed);
    show.boxes.enableOnly({1, 2});
    show.sequencer.startStop();
    for (int i = 0; i < 5; ++i)
        show.sequencer.tick();
    QCOMPARE(failures.size(), 1); // told once; playback goes on on screen
    QCOMPARE(show.boxes.monitorLines.size(), 5);
    const QString message = failures.first().first().toString();
    for (const QString& part : named)
        QVERIFY2(message.contains(part), qPrintable(message));
    QCOMPARE(FakeGpioChip::openDescriptors(), 0); // nothing half-held
    QCOMPARE(FakeGpioChip::consumer(17), std::string());
}

void GpioOutputTest::settingsText_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("printed"); // empty: refused
    QTest::newRow("Pi board") << "gpio:gpiochip0:17,18,27,22,23,24,25,4:low"
                              << "gpio:gpiochip0:17,18,27,22,23,24,25,4:low";
    QTest::newRow("device path, gap") << "gpio:/dev/gpiochip1:0,,2"
                                      << "gpio:gpiochip1:0,,2";
    QTest::newRow("no lines") << "gpio:gpiochip0:"
                              << "";
    QTest::newRow("no lines part") << "gpio:gpiochip0"
                                   << "";
    QTest::newRow("repeated line") << "gpio:gpiochip0:4,5,4"
                                   << "";
    QTest::newRow("13 lines") << "gpio:gpiochip0:0,1,2,3,4,5,6,7,8,9,10,11,12"
                              << "";
    QTest::newRow("negative offset") << "gpio:gpiochip0:3,-1"
                                     << "";
    QTest::newRow("not a chip") << "gpio:spidev0:3"
                                << "";
    QTest::newRow("unknown suffix") << "gpio:gpiochip0:3:high"
                                    << "";
}

void GpioOutputTest::settingsText() {
    QFETCH(QString, value);
    QFETCH(QString, printed);
    OutputChoice choice;
    QString error;
    QCOMPARE(choice.applyOutputOption(value, &error), !printed.isEmpty());
    if (printed.isEmpty()) {
        QVERIFY(error.contains(QStringLiteral("gpio:CSIP:VONALAK[:low]")));
        QCOMPARE(choice, OutputChoice()); // nothing changed
        return;
    }
    QCOMPARE(choice.kind, QStringLiteral("gpio"));
    QCOMPARE(GpioSettings::from(choice.settings).toString(), printed);
    QVERIFY(choice.description().startsWith(QStringLiteral("GPIO (gpiochip")));
}

void GpioOutputTest::settingsFileFallsBack() {
    QTemporaryDir dir;
    QSettings file(dir.filePath(QStringLiteral("ktr.ini")), QSettings::IniFormat);
    const OutputChoice saved = choiceFrom(QStringLiteral("gpio:gpiochip2:7,,9:low"));
    saved.save(file);
    QCOMPARE(OutputChoice::load(file), saved);
    file.setValue(QStringLiteral("output/gpioLines"), QStringLiteral("7,7"));
    file.setValue(QStringLiteral("output/gpioChip"), QStringLiteral("/etc/passwd"));
    const GpioSettings loaded = GpioSettings::from(OutputChoice::load(file).settings);
    QCOMPARE(loaded.chip, GpioSettings().chip);
    QCOMPARE(loaded.lines, GpioSettings().lines);
    QVERIFY(loaded.activeLow);
}

void GpioOutputTest::menuKeepsTheChosenChip() {
    // No chip in this machine's /dev: the chosen one is still offered, checked, with its dialog.
    const OutputChoice choice = choiceFrom(QStringLiteral("gpio:gpiochip0:17"));
    const QList<OutputEntry> entries = choice.backend().entries(choice);
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.first().label, QStringLiteral("GPIO (gpiochip0)…"));
    QVERIFY(entries.first().current && entries.first().dialog);
}

void GpioOutputTest::dialogRefusesRepeatedLine() {
    GpioSettingsDialog dialog(choiceFrom(QStringLiteral("gpio:gpiochip0:17,18")));
    auto* ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    QVERIFY(ok->isEnabled());
    dialog.lineBox(2)->setValue(17);
    QVERIFY(!ok->isEnabled());
    QVERIFY(dialog.problemText().contains(QStringLiteral("17")));
    dialog.lineBox(2)->setValue(GpioSettings::NotDriven);
    dialog.activeLowBox()->setChecked(true);
    QVERIFY(ok->isEnabled());
    QCOMPARE(dialog.choice(), choiceFrom(QStringLiteral("gpio:gpiochip0:17,18:low")));
}

QTEST_MAIN(GpioOutputTest)
#include "tst_gpiooutput.moc"
