#include "PseudoTerminal.h"
#include "SequencerRig.h"

#include "output/OutputChoice.h"
#include "output/serial/SerialOutput.h"
#include "output/serial/SerialPort.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

OutputChoice choiceFrom(const QString& output, const QString& header = {}, const QString& footer = {}) {
    OutputChoice choice;
    QString error;
    if (!choice.applyOutputOption(output, &error) ||
        (!header.isEmpty() && !choice.applyOption(QStringLiteral("serial-header"), header, &error)) ||
        (!footer.isEmpty() && !choice.applyOption(QStringLiteral("serial-footer"), footer, &error)))
        qFatal("%s", qPrintable(error));
    return choice;
}

SerialSettings settingsFrom(const QString& output, const QString& header = {}, const QString& footer = {}) {
    return SerialSettings::from(choiceFrom(output, header, footer).settings);
}

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

// "00" twelve times with FF where the row has an "x": a generic or Renard channel block.
QByteArray channels(const char* row) {
    QByteArray bytes;
    for (const char* c = row; *c; ++c)
        bytes += *c == 'x' ? char(0xFF) : char(0x00);
    return bytes;
}

// The port as the playback thread uses it, written on the test's thread (Inline) unless asked.
struct Show : SequencerRig<SerialPort> {
    explicit Show(const SerialSettings& settings, SerialPort::Writing writing = SerialPort::Writing::Inline)
        : SequencerRig<SerialPort>(settings, writing, SerialRoots(),
                                   [this](const QString& text) { notices << text; }) {}
    QStringList notices;
};

const char* const Step3 = "x000000x0x00";
const char* const Step7 = "0x00000000xx";

} // namespace

class SerialOutputTest : public QObject {
    Q_OBJECT
private slots:
    void workedExampleAt50ms_data();
    void workedExampleAt50ms();
    void controlRegisterChannels_data();
    void controlRegisterChannels();
    void lcusSendsEveryRelayAgainAtStart();
    void resendWhileNothingChanges_data();
    void resendWhileNothingChanges();
    void refusedDevices_data();
    void refusedDevices();
    void unpluggedAndBack();
    void writerThread();
    void settingsText_data();
    void settingsText();
    void settingsFileFallsBack();
    void listedDevices();
};

void SerialOutputTest::workedExampleAt50ms_data() {
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QList<QByteArray>>("frames"); // START, then each of six ticks

    const QByteArray allOff = hex("A00100A1A00200A2A00300A3A00400A4A00500A5A00600A6A00700A7A00800A8");
    // Step 3 turns relays 1 and 8 on; step 7 turns them off and relay 2 on; and back.
    const QByteArray lcus3 = hex("A00101A2A00801A9");
    const QByteArray lcus7 = hex("A00100A1A00201A3A00800A8");
    const QByteArray lcus3Again = hex("A00101A2A00200A2A00801A9");
    QTest::newRow("lcus: every relay at START, then only those that change")
        << "lcus" << QString() << QList<QByteArray>{allOff, {}, lcus3, lcus7, {}, lcus3Again, lcus7};

    const QByteArray k = "KTR";
    QTest::newRow("generic with the sketch's header")
        << "generic"
        << "KTR" << QList<QByteArray>{k + channels("000000000000"), {}, k + channels(Step3),
                                      k + channels(Step7),          {}, k + channels(Step3),
                                      k + channels(Step7)};
    const QByteArray r = hex("7E80");
    QTest::newRow("renard") << "renard" << QString()
                            << QList<QByteArray>{r + channels("000000000000"), {}, r + channels(Step3),
                                                 r + channels(Step7),          {}, r + channels(Step3),
                                                 r + channels(Step7)};
}

void SerialOutputTest::workedExampleAt50ms() {
    QFETCH(QString, protocol);
    QFETCH(QString, header);
    QFETCH(QList<QByteArray>, frames);
    PseudoTerminal board;
    Show show(settingsFrom(QStringLiteral("serial:%1:%2").arg(board.path(), protocol), header));
    show.boxes.setRow(3, QString::fromLatin1(Step3));
    show.boxes.setRow(7, QString::fromLatin1(Step7));
    show.boxes.enableOnly({3, 7});
    show.sequencer.speedChanged(50);
    QCOMPARE(show.sequencer.timer().interval(), 50);
    QCOMPARE(board.received(), QByteArray()); // nothing before the first START

    show.sequencer.startStop();
    for (int tick = 0; tick < frames.size(); ++tick) {
        if (tick > 0)
            show.sequencer.tick();
        QTRY_COMPARE(board.received(), frames[tick]);
        board.clear();
    }
    QVERIFY(!show.port.failing());
    QCOMPARE(show.notices, QStringList());
}

void SerialOutputTest::controlRegisterChannels_data() {
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<QString>("row");
    QTest::addColumn<QByteArray>("frame"); // of the played step, after START's

    QTest::newRow("generic: channel 9 (inverted C3)") << "generic"
                                                      << "00000000x000" << channels("00000000x000");
    QTest::newRow("generic: channel 10 (C2)") << "generic"
                                              << "000000000x00" << channels("000000000x00");
    QTest::newRow("generic: channel 11 (inverted C1)") << "generic"
                                                       << "0000000000x0" << channels("0000000000x0");
    QTest::newRow("generic: channel 12 (inverted C0)") << "generic"
                                                       << "00000000000x" << channels("00000000000x");
    QTest::newRow("renard: channels 9, 11, 12") << "renard"
                                                << "00000000x0xx" << hex("7E80") + channels("00000000x0xx");
    QTest::newRow("lcus: channels 9-12 drive no relay") << "lcus"
                                                        << "x0000000xxxx" << hex("A00101A2");
}

void SerialOutputTest::controlRegisterChannels() {
    QFETCH(QString, protocol);
    QFETCH(QString, row);
    QFETCH(QByteArray, frame);
    PseudoTerminal board;
    Show show(settingsFrom(QStringLiteral("serial:%1:%2").arg(board.path(), protocol)));
    show.boxes.setRow(1, row);
    show.boxes.enableOnly({1});
    show.sequencer.startStop();
    QTRY_VERIFY(!board.received().isEmpty());
    board.clear();
    show.sequencer.tick();
    QTRY_COMPARE(board.received(), frame);
}

void SerialOutputTest::lcusSendsEveryRelayAgainAtStart() {
    PseudoTerminal board;
    Show show(settingsFrom(QStringLiteral("serial:%1:lcus").arg(board.path())));
    show.boxes.setRow(1, QStringLiteral("xx0000000000"));
    show.boxes.enableOnly({1});
    show.sequencer.startStop();
    show.sequencer.tick();
    show.sequencer.tick(); // the same step again: nothing changes, nothing is sent
    QTRY_COMPARE(board.received().size(), 8 * 4 + 2 * 4);
    board.clear();

    show.sequencer.startStop(); // STOP writes nothing
    show.sequencer.startStop(); // START: data register 0, every relay told so
    QTRY_COMPARE(board.received(), hex("A00100A1A00200A2A00300A3A00400A4A00500A5A00600A6A00700A7A00800A8"));
    board.clear();
    show.sequencer.tick();
    QTRY_COMPARE(board.received(), hex("A00101A2A00201A3"));
}

void SerialOutputTest::resendWhileNothingChanges_data() {
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("footer");
    QTest::addColumn<QByteArray>("step");   // the frame of the played step
    QTest::addColumn<QByteArray>("resent"); // after the writer's 500 ms

    // 0A would leave a terminal not set raw as 0D 0A.
    const QByteArray framed = hex("7E01") + channels(Step3) + hex("0D0A");
    QTest::newRow("generic, \\xNN header and footer") << "generic"
                                                      << "\\x7E\\x01"
                                                      << "\\x0d\\x0A" << framed << framed;
    QTest::newRow("generic, a backslash and UTF-8")
        << "generic"
        << "\\\\é"
        << "" << QByteArray("\\\xC3\xA9") + channels(Step3) << QByteArray("\\\xC3\xA9") + channels(Step3);
    QTest::newRow("renard") << "renard"
                            << ""
                            << "" << hex("7E80") + channels(Step3) << hex("7E80") + channels(Step3);
    QTest::newRow("lcus holds without resending") << "lcus"
                                                  << ""
                                                  << "" << hex("A00101A2A00801A9") << QByteArray();
}

void SerialOutputTest::resendWhileNothingChanges() {
    QFETCH(QString, protocol);
    QFETCH(QString, header);
    QFETCH(QString, footer);
    QFETCH(QByteArray, step);
    QFETCH(QByteArray, resent);
    PseudoTerminal board;
    Show show(settingsFrom(QStringLiteral("serial:%1:%2").arg(board.path(), protocol), header, footer));
    show.boxes.setRow(1, QString::fromLatin1(Step3));
    show.boxes.enableOnly({1});
    show.sequencer.startStop();
    QTRY_VERIFY(!board.received().isEmpty());
    board.clear();
    show.sequencer.tick();
    QTRY_COMPARE(board.received(), step);
    board.clear();

    show.port.resendTick();
    show.port.resendTick();
    show.sequencer.startStop(); // STOP: resending goes on, the board must not drop out
    show.port.resendTick();
    QTRY_COMPARE(board.received(), resent + resent + resent);
}

void SerialOutputTest::refusedDevices_data() {
    QTest::addColumn<QString>("device"); // "FILE", "DIR" and "FIFO" are made in a temporary folder
    QTest::addColumn<QString>("cause");
    QTest::addColumn<QString>("remedy");

    const QString notTerminal = QStringLiteral("nem soros port");
    const QString serialPorts = QStringLiteral("Soros portot adjon meg");
    QTest::newRow("a regular file") << "FILE" << notTerminal + " (közönséges fájl)" << serialPorts;
    QTest::newRow("/dev/null") << "/dev/null" << notTerminal + " (karakteres eszköz, de nem terminál)"
                               << serialPorts;
    QTest::newRow("a directory") << "DIR" << notTerminal + " (könyvtár)" << serialPorts;
    QTest::newRow("a FIFO, which would block an open") << "FIFO" << notTerminal << serialPorts;
    QTest::newRow("missing") << "/dev/ttyUSB97"
                             << "nem található"
                             << "ktr --list-outputs";
}

void SerialOutputTest::refusedDevices() {
    QFETCH(QString, device);
    QFETCH(QString, cause);
    QFETCH(QString, remedy);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("ttyUSB0"));
    if (device == QLatin1String("FILE")) {
        QFile made(file);
        QVERIFY(made.open(QIODevice::WriteOnly));
        device = file;
    } else if (device == QLatin1String("DIR")) {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("ttyUSB0")));
        device = file;
    } else if (device == QLatin1String("FIFO")) {
        QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
        device = file;
    }
    Show show(settingsFrom(QStringLiteral("serial:%1:generic").arg(device)));
    show.boxes.setRow(1, QStringLiteral("xxxxxxxxxxxx"));
    show.boxes.enableOnly({1});
    show.sequencer.startStop();
    show.sequencer.tick();
    QVERIFY(show.port.failing());
    const QString message = show.port.errorMessage();
    QVERIFY2(message.startsWith(QStringLiteral("A soros kimenet nem használható: ") + device),
             qPrintable(message));
    QVERIFY2(message.contains(cause), qPrintable(message));
    QVERIFY2(message.contains(QStringLiteral("Teendő: ")) && message.contains(remedy), qPrintable(message));
    if (QFileInfo(file).isFile())
        QCOMPARE(QFileInfo(file).size(), 0); // never written
}

void SerialOutputTest::unpluggedAndBack() {
    // The output is given a stable name, as udev's /dev/serial/by-id links are, which follows the
    // board when it comes back.
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("usb-1a86_USB_Serial-if00-port0"));
    auto board = std::make_unique<PseudoTerminal>();
    QVERIFY(QFile::link(board->path(), link));
    Show show(settingsFrom(QStringLiteral("serial:%1:lcus").arg(link)));
    show.boxes.setRow(1, QString::fromLatin1(Step3));
    show.boxes.enableOnly({1});
    show.sequencer.startStop();
    show.sequencer.tick();
    QTRY_COMPARE(board->received().size(), 8 * 4 + 2 * 4);

    board->unplug();
    show.sequencer.tick(); // the write fails
    QVERIFY(show.port.failing());
    QString message = show.port.errorMessage();
    QVERIFY2(message.contains(link) && message.contains(QStringLiteral("kihúzták")) &&
                 message.contains(QStringLiteral("EIO")),
             qPrintable(message));
    QCOMPARE(show.port.errorBrief(), QStringLiteral("a soros eszköz megszűnt"));

    show.port.retry(); // the player's retry, once a second
    show.sequencer.tick();
    QVERIFY(show.port.failing());
    QVERIFY2(show.port.errorMessage().contains(QStringLiteral("nem található")),
             qPrintable(show.port.errorMessage()));

    board = std::make_unique<PseudoTerminal>(); // plugged in again, perhaps as another node
    QVERIFY(QFile::remove(link));
    QVERIFY(QFile::link(board->path(), link));
    show.port.retry();
    show.sequencer.tick(); // told to every relay: the board's state is unknown
    QTRY_COMPARE(board->received(), hex("A00101A2A00200A2A00300A3A00400A4A00500A5A00600A6A00700A7A00801A9"));
    QVERIFY(!show.port.failing());
}

void SerialOutputTest::writerThread() {
    // The real arrangement: the tick only hands the pins over; the port's own thread writes.
    PseudoTerminal board;
    Show show(settingsFrom(QStringLiteral("serial:%1:generic").arg(board.path())),
              SerialPort::Writing::Thread);
    show.boxes.setRow(1, QString::fromLatin1(Step7));
    show.boxes.enableOnly({1});
    show.sequencer.startStop();
    QTRY_COMPARE(board.received(), channels("000000000000"));
    board.clear();
    show.sequencer.tick();
    QTRY_COMPARE(board.received().left(12), channels(Step7));

    board.unplug();
    show.sequencer.tick();
    QTRY_VERIFY(show.port.failing()); // the writer's failed write shows at once
    show.sequencer.tick();
    QVERIFY2(show.port.errorMessage().contains(QStringLiteral("kihúzták")),
             qPrintable(show.port.errorMessage()));
}

void SerialOutputTest::settingsText_data() {
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("description"); // or the start of the error

    QTest::newRow("lcus at its 9600 baud") << "serial:/dev/ttyUSB0:lcus"
                                           << ""
                                           << "soros port (/dev/ttyUSB0, lcus, 9600 baud)";
    QTest::newRow("a bare name, generic with a header and its own rate")
        << "serial:ttyACM0:generic:57600"
        << "KTR"
        << "soros port (/dev/ttyACM0, generic, 57600 baud, fejléc: KTR)";
    QTest::newRow("a by-path name with colons")
        << "serial:/dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0-port0:renard"
        << ""
        << "soros port (/dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0-port0, renard, 57600 baud)";
    QTest::newRow("no protocol") << "serial:/dev/ttyUSB0"
                                 << ""
                                 << "A soros kimenethez meg kell adni";
    QTest::newRow("unknown protocol") << "serial:/dev/ttyUSB0:modbus"
                                      << ""
                                      << "A soros kimenethez meg kell adni";
    QTest::newRow("a rate a line cannot take") << "serial:/dev/ttyUSB0:lcus:9601"
                                               << ""
                                               << "A sebesség (baud)";
    QTest::newRow("a relative path") << "serial:dev/ttyUSB0:lcus"
                                     << ""
                                     << "A soros eszköz teljes";
    QTest::newRow("\\x with one digit") << "serial:/dev/ttyUSB0:generic"
                                        << "\\x7"
                                        << "A --serial-header értéke hibás";
    QTest::newRow("an unknown escape") << "serial:/dev/ttyUSB0:generic"
                                       << "\\n"
                                       << "A --serial-header értéke hibás";
    QTest::newRow("65 bytes") << "serial:/dev/ttyUSB0:generic" << QString(65, QLatin1Char('K'))
                              << "A --serial-header értéke hibás. A fejléc és a lábléc legfeljebb 64 bájt";
}

void SerialOutputTest::settingsText() {
    QFETCH(QString, output);
    QFETCH(QString, header);
    QFETCH(QString, description);
    OutputChoice choice;
    QString error;
    const bool ok = choice.applyOutputOption(output, &error) &&
                    (header.isEmpty() || choice.applyOption(QStringLiteral("serial-header"), header, &error));
    QCOMPARE(ok ? choice.description() : error.left(description.size()), description);
}

void SerialOutputTest::settingsFileFallsBack() {
    QTemporaryDir dir;
    QSettings file(dir.filePath(QStringLiteral("ktr.ini")), QSettings::IniFormat);
    choiceFrom(QStringLiteral("serial:/dev/ttyACM0:generic:230400"), QStringLiteral("\\x7E"),
               QStringLiteral("\\x0A"))
        .save(file);
    const OutputChoice loaded = OutputChoice::load(file);
    QCOMPARE(loaded.kind, QStringLiteral("serial"));
    QCOMPARE(loaded.description(), QStringLiteral("soros port (/dev/ttyACM0, generic, 230400 baud, fejléc: "
                                                  "\\x7E, lábléc: \\x0A)"));
    file.setValue(QStringLiteral("output/serialHeader"), QStringLiteral("\\xZZ"));
    file.setValue(QStringLiteral("output/serialBaud"), QStringLiteral("12345"));
    file.setValue(QStringLiteral("output/serialProtocol"), QStringLiteral("dmx"));
    QCOMPARE(OutputChoice::load(file).description(),
             QStringLiteral("soros port (/dev/ttyACM0, lcus, 9600 baud)"));
}

void SerialOutputTest::listedDevices() {
    // sysfs and /dev as the kernel and udev lay them out for a CH340 board, an Arduino Uno, an FTDI
    // cable without a by-id link, a built-in serial port and a USB device whose node is gone.
    QTemporaryDir root;
    const SerialRoots roots{root.filePath(QStringLiteral("sys")), root.filePath(QStringLiteral("dev"))};
    const auto make = [&](const QString& path, const QByteArray& content = {}) {
        QDir().mkpath(QFileInfo(root.filePath(path)).path());
        QFile file(root.filePath(path));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    };
    const auto usbTty = [&](const QString& name, const QString& usb, const QString& interface,
                            const QByteArray& vendor, const QByteArray& product,
                            const QByteArray& productName) {
        make(QStringLiteral("sys/devices/pci0000:00/%1/idVendor").arg(usb), vendor + '\n');
        make(QStringLiteral("sys/devices/pci0000:00/%1/idProduct").arg(usb), product + '\n');
        make(QStringLiteral("sys/devices/pci0000:00/%1/product").arg(usb), productName + '\n');
        QDir().mkpath(root.filePath(QStringLiteral("sys/devices/pci0000:00/%1/%2").arg(usb, interface)));
        QDir().mkpath(root.filePath(QStringLiteral("sys/class/tty/") + name));
        QVERIFY(QFile::link(root.filePath(QStringLiteral("sys/devices/pci0000:00/%1/%2").arg(usb, interface)),
                            root.filePath(QStringLiteral("sys/class/tty/%1/device").arg(name))));
    };
    usbTty(QStringLiteral("ttyUSB0"), QStringLiteral("usb1/1-1"), QStringLiteral("1-1:1.0/ttyUSB0"), "1a86",
           "7523", "USB Serial");
    usbTty(QStringLiteral("ttyACM0"), QStringLiteral("usb1/1-2"), QStringLiteral("1-2:1.0"), "2341", "0043",
           "Arduino Uno");
    usbTty(QStringLiteral("ttyUSB1"), QStringLiteral("usb1/1-3"), QStringLiteral("1-3:1.0/ttyUSB1"), "0403",
           "6001", "FT232R USB UART");
    usbTty(QStringLiteral("ttyUSB2"), QStringLiteral("usb1/1-4"), QStringLiteral("1-4:1.0/ttyUSB2"), "1a86",
           "7523", "USB Serial");
    make(QStringLiteral("sys/devices/platform/serial8250/tty/ttyS0/dev"));
    QDir().mkpath(root.filePath(QStringLiteral("sys/class/tty/ttyS0")));
    for (const char* node : {"ttyUSB0", "ttyACM0", "ttyUSB1", "ttyS0"})
        make(QStringLiteral("dev/") + QLatin1String(node));
    QDir().mkpath(root.filePath(QStringLiteral("dev/serial/by-id")));
    QVERIFY(QFile::link(QStringLiteral("../../ttyUSB0"),
                        root.filePath(QStringLiteral("dev/serial/by-id/usb-1a86_USB_Serial-if00-port0"))));
    QVERIFY(QFile::link(QStringLiteral("../../ttyACM0"),
                        root.filePath(QStringLiteral("dev/serial/by-id/usb-Arduino_Uno_7563-if00"))));

    const std::vector<SerialDevice> devices = SerialDevice::present(roots);
    QString text;
    for (const OutputListing& row : SerialOutput::listingsFor(devices, OutputChoice().settings))
        text += row.arguments + QLatin1Char('\t') + row.description + QLatin1Char('\n');
    const QString dev = roots.dev;
    QCOMPARE(text,
             QStringLiteral(
                 "--output serial:%1/serial/by-id/usb-Arduino_Uno_7563-if00:generic --serial-header KTR\t"
                 "Soros port: Arduino vagy más „generic serial” vevő (Arduino Uno, 2341:0043) a(z) "
                 "%1/ttyACM0 eszközön, a firmware/ktr_relay vázlat fejlécével\n"
                 "--output serial:%1/serial/by-id/usb-1a86_USB_Serial-if00-port0:lcus\t"
                 "Soros port: LCUS relékártya (CH340, 1a86:7523) a(z) %1/ttyUSB0 eszközön\n"
                 "--output serial:%1/serial/by-id/usb-1a86_USB_Serial-if00-port0:generic "
                 "--serial-header KTR\t"
                 "Soros port: Arduino vagy más „generic serial” vevő (CH340, 1a86:7523) a(z) "
                 "%1/ttyUSB0 eszközön, a firmware/ktr_relay vázlat fejlécével\n"
                 "--output serial:%1/ttyUSB1:generic --serial-header KTR\t"
                 "Soros port: Arduino vagy más „generic serial” vevő (FT232R, 0403:6001) a(z) "
                 "%1/ttyUSB1 eszközön, a firmware/ktr_relay vázlat fejlécével\n"
                 "--output serial:%1/ttyUSB1:renard\t"
                 "Soros port: Renard vezérlő (FT232R, 0403:6001) a(z) %1/ttyUSB1 eszközön\n")
                 .arg(dev));

    // "Kimenet": one entry per device; the chosen one keeps its settings, another gets its own protocol.
    const OutputChoice chosen =
        choiceFrom(QStringLiteral("serial:%1/ttyUSB0:generic:57600").arg(dev), QStringLiteral("\\x7E"));
    const QList<OutputEntry> entries = SerialOutput::entriesFor(devices, chosen);
    QCOMPARE(entries.size(), 3);
    QCOMPARE(entries[0].label, QStringLiteral("Soros port: ttyACM0 (Arduino Uno, 2341:0043)…"));
    QCOMPARE(entries[1].label, QStringLiteral("Soros port: ttyUSB0 (CH340, 1a86:7523)…"));
    QVERIFY(!entries[0].current && entries[1].current && entries[1].dialog);
    QCOMPARE(entries[1].settings.value(SerialSettings::BaudKey), QStringLiteral("57600"));
    QCOMPARE(entries[2].settings.value(SerialSettings::ProtocolKey), QStringLiteral("generic"));
    QCOMPARE(entries[2].settings.value(SerialSettings::BaudKey), QString());
    // A chosen board that is not plugged in keeps its entry.
    const QList<OutputEntry> without = SerialOutput::entriesFor({}, chosen);
    QCOMPARE(without.size(), 1);
    QVERIFY(without[0].current);
}

QTEST_GUILESS_MAIN(SerialOutputTest)
#include "tst_serialoutput.moc"
