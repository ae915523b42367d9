#include "PseudoTerminal.h"
#include "SequencerRig.h"

#include "output/OutputChoice.h"
#include "output/serial/SerialOutput.h"
#include "output/serial/SerialPort.h"

#include <QDir>
#include <QFile>
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

// The port as the playback thread uses it, written on the test's thread (Inline) unless asked.
struct Show : SequencerRig<SerialPort> {
    Show(const QString& output, const QString& header = {}, const QString& footer = {},
         SerialPort::Writing writing = SerialPort::Writing::Inline)
        : SequencerRig<SerialPort>(SerialSettings::from(choiceFrom(output, header, footer).settings), writing,
                                   SerialRoots(), [this](const QString& text) { notices << text; }) {}
    QStringList notices;
};

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

// A generic or Renard frame: start, FF for each "x" of row and 00 for each "0", end.
QByteArray framed(const QByteArray& start, const char* row, const QByteArray& end = {}) {
    QByteArray bytes = start;
    for (const char* c = row; *c; ++c)
        bytes += *c == 'x' ? char(0xFF) : char(0x00);
    return bytes + end;
}

const char* const Step3 = "x000000x0x00";
const char* const Step7 = "0x00000000xx";
const QByteArray EveryRelayOff = hex("A00100A1A00200A2A00300A3A00400A4A00500A5A00600A6A00700A7A00800A8");

} // namespace

class SerialOutputTest : public QObject {
    Q_OBJECT
private slots:
    void workedExampleAt50ms_data();
    void workedExampleAt50ms();
    void refusedDevices_data();
    void refusedDevices();
    void unpluggedAndBack();
    void writerThread();
    void settingsText_data();
    void settingsText();
    void listedDevices();
};

void SerialOutputTest::workedExampleAt50ms_data() {
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("footer");
    QTest::addColumn<QString>("step3");
    QTest::addColumn<QString>("step7");
    QTest::addColumn<QList<QByteArray>>("frames"); // START, six ticks, then STOP and the 500 ms resend
    const auto row = [](const char* name, const char* protocol, const QString& header, const QString& footer,
                        const char* step3, const char* step7, const QByteArray& start,
                        const QByteArray& end) {
        QList<QByteArray> frames;
        for (const char* step : {"000000000000", "", step3, step7, "", step3, step7, step7})
            frames << (*step ? framed(start, step, end) : QByteArray());
        QTest::newRow(name) << QString::fromLatin1(protocol) << header << footer << QString::fromLatin1(step3)
                            << QString::fromLatin1(step7) << frames;
    };
    row("generic with the sketch's header", "generic", "KTR", {}, Step3, Step7, "KTR", {});
    // 0A would leave a terminal not set raw as 0D 0A.
    row("generic, \\xNN header and footer", "generic", "\\x7E\\x01", "\\x0d\\x0A", Step3, Step7, hex("7E01"),
        hex("0D0A"));
    row("generic, a backslash and UTF-8", "generic", "\\\\é", {}, Step3, Step7, "\\\xC3\xA9", {});
    row("renard", "renard", {}, {}, Step3, Step7, hex("7E80"), {});
    // Each of channels 9-12 on and off: C3, C1 and C0 are inverted in the register, C2 is not.
    row("generic: channels 9-12", "generic", {}, {}, "00000000x0x0", "000000000x0x", {}, {});
    row("renard: channels 9-12", "renard", {}, {}, "00000000x0x0", "000000000x0x", hex("7E80"), {});
    // Step 3 turns relays 1 and 8 on; step 7 turns them off and relay 2 on; and back.
    const QByteArray on3 = hex("A00101A2A00801A9"), on7 = hex("A00100A1A00201A3A00800A8");
    QTest::newRow("lcus: every relay at START, then only those that change; no resend")
        << QStringLiteral("lcus") << QString() << QString() << QString::fromLatin1(Step3)
        << QString::fromLatin1(Step7)
        << QList<QByteArray>{EveryRelayOff, {}, on3, on7, {}, hex("A00101A2A00200A2A00801A9"), on7, {}};
    QTest::newRow("lcus: channels 9-12 drive no relay")
        << QStringLiteral("lcus") << QString() << QString() << QStringLiteral("x0000000xxxx")
        << QStringLiteral("00000000xxxx")
        << QList<QByteArray>{EveryRelayOff,   {}, hex("A00101A2"), hex("A00100A1"), {}, hex("A00101A2"),
                             hex("A00100A1"), {}};
}

void SerialOutputTest::workedExampleAt50ms() {
    QFETCH(QString, protocol);
    QFETCH(QString, header);
    QFETCH(QString, footer);
    QFETCH(QString, step3);
    QFETCH(QString, step7);
    QFETCH(QList<QByteArray>, frames);
    PseudoTerminal board;
    Show show(QStringLiteral("serial:%1:%2").arg(board.path(), protocol), header, footer);
    show.boxes.setRow(3, step3);
    show.boxes.setRow(7, step7);
    show.boxes.enableOnly({3, 7});
    show.sequencer.speedChanged(50);
    QCOMPARE(show.sequencer.timer().interval(), 50);
    QCOMPARE(board.received(), QByteArray()); // nothing before the first START

    show.sequencer.startStop();
    for (int tick = 0; tick < frames.size(); ++tick) {
        if (tick == frames.size() - 1) {
            show.sequencer.startStop(); // STOP: the board must not drop out
            show.port.resendTick();     // what the writer does after 500 ms without a step
        } else if (tick > 0) {
            show.sequencer.tick();
        }
        QTRY_COMPARE(board.received(), frames[tick]);
        board.clear();
    }
    QVERIFY(!show.port.failing());
    QCOMPARE(show.notices, QStringList());
}

void SerialOutputTest::refusedDevices_data() {
    QTest::addColumn<QString>("device"); // "FILE" and "FIFO" are made in a temporary folder
    QTest::addColumn<QString>("cause");
    QTest::addColumn<QString>("remedy");
    const auto row = [](const char* name, const char* device, const char* cause, const char* remedy) {
        QTest::newRow(name) << QString::fromUtf8(device) << QString::fromUtf8(cause)
                            << QString::fromUtf8(remedy);
    };
    row("a regular file", "FILE", "nem soros port (közönséges fájl)", "Soros portot adjon meg");
    row("/dev/null", "/dev/null", "nem soros port (karakteres eszköz, de nem terminál)",
        "Soros portot adjon meg");
    row("a FIFO, which would block an open", "FIFO", "nem soros port", "Soros portot adjon meg");
    row("missing", "/dev/ttyUSB97", "nem található", "ktr --list-outputs");
}

void SerialOutputTest::refusedDevices() {
    QFETCH(QString, device);
    QFETCH(QString, cause);
    QFETCH(QString, remedy);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("ttyUSB0"));
    if (device == QLatin1String("FILE"))
        QVERIFY(QFile(file).open(QIODevice::WriteOnly));
    else if (device == QLatin1String("FIFO"))
        QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
    if (!device.startsWith(QLatin1Char('/')))
        device = file;
    Show show(QStringLiteral("serial:%1:generic").arg(device));
    show.boxes.setRow(1, QStringLiteral("xxxxxxxxxxxx"));
    show.boxes.enableOnly({1});
    show.sequencer.startStop();
    show.sequencer.tick();
    QVERIFY(show.port.failing());
    const QString message = show.port.errorMessage();
    QVERIFY2(message.startsWith(QStringLiteral("A soros kimenet nem használható: ") + device) &&
                 message.contains(cause) && message.contains(QStringLiteral("Teendő: ")) &&
                 message.contains(remedy),
             qPrintable(message));
    if (QFileInfo(file).isFile())
        QCOMPARE(QFileInfo(file).size(), 0); // never written
}

void SerialOutputTest::unpluggedAndBack() {
    // A stable name, as udev's /dev/serial/by-id links are, follows the board when it comes back.
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("usb-1a86_USB_Serial-if00-port0"));
    auto board = std::make_unique<PseudoTerminal>();
    QVERIFY(QFile::link(board->path(), link));
    Show show(QStringLiteral("serial:%1:lcus").arg(link));
    show.boxes.setRow(1, QString::fromLatin1(Step3));
    show.boxes.enableOnly({1});
    show.sequencer.startStop();
    show.sequencer.tick();
    show.sequencer.tick(); // the same step again: nothing to send
    QTRY_COMPARE(board->received(), EveryRelayOff + hex("A00101A2A00801A9"));

    board->unplug();
    show.sequencer.tick(); // a held step: the hang-up is noticed all the same
    QVERIFY(show.port.failing());
    QVERIFY2(show.port.errorMessage().contains(link) &&
                 show.port.errorMessage().contains(QStringLiteral("EIO")),
             qPrintable(show.port.errorMessage()));
    QCOMPARE(show.port.errorBrief(), QStringLiteral("a soros eszköz megszűnt"));

    show.port.retry(); // the player's retry, once a second
    show.sequencer.tick();
    QVERIFY2(show.port.errorMessage().contains(QStringLiteral("nem található")),
             qPrintable(show.port.errorMessage()));

    board = std::make_unique<PseudoTerminal>(); // plugged in again, perhaps as another node
    QVERIFY(QFile::remove(link) && QFile::link(board->path(), link));
    show.port.retry();
    show.sequencer.tick(); // told to every relay: the board's state is unknown
    QTRY_COMPARE(board->received(), hex("A00101A2A00200A2A00300A3A00400A4A00500A5A00600A6A00700A7A00801A9"));
    QVERIFY(!show.port.failing());
}

void SerialOutputTest::writerThread() {
    // The real arrangement: the tick only hands the pins over; the port's own thread writes.
    PseudoTerminal board;
    Show show(QStringLiteral("serial:%1:generic").arg(board.path()), {}, {}, SerialPort::Writing::Thread);
    show.boxes.setRow(1, QString::fromLatin1(Step7));
    show.boxes.enableOnly({1});
    show.sequencer.startStop();
    QTRY_COMPARE(board.received(), framed({}, "000000000000"));
    board.clear();
    show.sequencer.tick();
    QTRY_COMPARE(board.received().left(12), framed({}, Step7));

    board.unplug();
    QTRY_VERIFY(show.port.failing()); // the writer sees the hang-up by itself
    show.sequencer.tick();
    QVERIFY2(show.port.errorMessage().contains(QStringLiteral("kihúzták")),
             qPrintable(show.port.errorMessage()));
}

void SerialOutputTest::settingsText_data() {
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("description"); // or the start of the error
    const auto row = [](const char* name, const char* output, const QString& header,
                        const char* description) {
        QTest::newRow(name) << QString::fromUtf8(output) << header << QString::fromUtf8(description);
    };
    row("a bare name, generic with a header and its own rate", "serial:ttyACM0:generic:57600", "KTR",
        "soros port (/dev/ttyACM0, generic, 57600 baud, fejléc: KTR)");
    row("a by-path name with colons", "serial:/dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0-port0:renard",
        {}, "soros port (/dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0-port0, renard, 57600 baud)");
    row("no protocol", "serial:/dev/ttyUSB0", {}, "A soros kimenethez meg kell adni");
    row("a rate a line cannot take", "serial:/dev/ttyUSB0:lcus:9601", {}, "A sebesség (baud)");
    row("\\x with one digit", "serial:/dev/ttyUSB0:generic", "\\x7", "A --serial-header értéke hibás");
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

void SerialOutputTest::listedDevices() {
    // sysfs and /dev as the kernel and udev lay them out for a CH340 board, an Arduino Uno, an FTDI
    // cable without a by-id link and a built-in serial port.
    QTemporaryDir root;
    const SerialRoots roots{root.filePath(QStringLiteral("sys")), root.filePath(QStringLiteral("dev"))};
    const auto make = [](const QString& path, const QByteArray& content = {}) {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    };
    const auto usbTty = [&](const char* name, const char* interface, const char* ids, const char* product) {
        const QString usb = roots.sys + QStringLiteral("/devices/usb1/") + QLatin1String(ids);
        make(usb + QStringLiteral("/idVendor"), QByteArray(ids).left(4) + '\n');
        make(usb + QStringLiteral("/idProduct"), QByteArray(ids).mid(5) + '\n');
        make(usb + QStringLiteral("/product"), QByteArray(product) + '\n');
        QDir().mkpath(usb + QLatin1Char('/') + QLatin1String(interface));
        QDir().mkpath(roots.sys + QStringLiteral("/class/tty/") + QLatin1String(name));
        QVERIFY(QFile::link(usb + QLatin1Char('/') + QLatin1String(interface),
                            roots.sys + QStringLiteral("/class/tty/%1/device").arg(QLatin1String(name))));
        make(roots.dev + QLatin1Char('/') + QLatin1String(name));
    };
    usbTty("ttyUSB0", "1-1:1.0/ttyUSB0", "1a86:7523", "USB Serial");
    usbTty("ttyACM0", "1-2:1.0", "2341:0043", "Arduino Uno");
    usbTty("ttyUSB1", "1-3:1.0/ttyUSB1", "0403:6001", "FT232R USB UART");
    QDir().mkpath(roots.sys + QStringLiteral("/class/tty/ttyS0"));
    make(roots.dev + QStringLiteral("/ttyS0"));
    QDir().mkpath(roots.dev + QStringLiteral("/serial/by-id"));
    QVERIFY(QFile::link(QStringLiteral("../../ttyUSB0"),
                        roots.dev + "/serial/by-id/usb-1a86_USB_Serial-if00-port0"));
    QVERIFY(
        QFile::link(QStringLiteral("../../ttyACM0"), roots.dev + "/serial/by-id/usb-Arduino_Uno_7563-if00"));

    const std::vector<SerialDevice> devices = SerialDevice::present(roots);
    QString text;
    for (const OutputListing& row : SerialOutput::listingsFor(devices, OutputChoice().settings))
        text += row.arguments + QLatin1Char('\t') + row.description + QLatin1Char('\n');
    const QString generic = QStringLiteral("Arduino vagy más „generic serial” vevő");
    const QString sketch = QStringLiteral(", a firmware/ktr_relay vázlat fejlécével");
    QCOMPARE(text, QStringLiteral(
                       "--output serial:%1/serial/by-id/usb-Arduino_Uno_7563-if00:generic --serial-header "
                       "KTR\tSoros port: %2 (Arduino Uno, 2341:0043) a(z) %1/ttyACM0 eszközön%3\n"
                       "--output serial:%1/serial/by-id/usb-1a86_USB_Serial-if00-port0:lcus\tSoros port: "
                       "LCUS relékártya (CH340, 1a86:7523) a(z) %1/ttyUSB0 eszközön\n"
                       "--output serial:%1/serial/by-id/usb-1a86_USB_Serial-if00-port0:generic "
                       "--serial-header KTR\tSoros port: %2 (CH340, 1a86:7523) a(z) %1/ttyUSB0 eszközön%3\n"
                       "--output serial:%1/ttyUSB1:generic --serial-header KTR\tSoros port: %2 (FT232R, "
                       "0403:6001) a(z) %1/ttyUSB1 eszközön%3\n"
                       "--output serial:%1/ttyUSB1:renard\tSoros port: Renard vezérlő (FT232R, "
                       "0403:6001) a(z) %1/ttyUSB1 eszközön\n")
                       .arg(roots.dev, generic, sketch));

    // "Kimenet": one entry per device; the chosen one keeps its settings, another gets its own protocol.
    const OutputChoice chosen = choiceFrom(QStringLiteral("serial:%1/ttyUSB0:generic:57600").arg(roots.dev));
    const QList<OutputEntry> entries = SerialOutput::entriesFor(devices, chosen);
    QCOMPARE(entries.size(), 3);
    QCOMPARE(entries[1].label, QStringLiteral("Soros port: ttyUSB0 (CH340, 1a86:7523)…"));
    QVERIFY(!entries[0].current && entries[1].current && entries[1].dialog);
    QCOMPARE(entries[1].settings.value(SerialSettings::BaudKey), QStringLiteral("57600"));
    QCOMPARE(entries[2].settings.value(SerialSettings::ProtocolKey), QStringLiteral("generic"));
    QCOMPARE(entries[2].settings.value(SerialSettings::BaudKey), QString());
    QVERIFY(SerialOutput::entriesFor({}, chosen).constFirst().current); // a chosen board not plugged in
}

QTEST_GUILESS_MAIN(SerialOutputTest)
#include "tst_serialoutput.moc"
