#include "FakeSpeed.h"
#include "FakeStepPattern.h"

#include "effects/EffectFile.h"
#include "output/Module1.h"

#include "sequencer/IntervalTimer.h"
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray Off12(12, '0');
const QByteArray Off22(22, '0');
const QString Name = QStringLiteral("/effektek/minta.eff");

QByteArray joined(const QList<QByteArray>& lines, const QByteArray& end = "\r\n") {
    QByteArray bytes;
    for (const QByteArray& line : lines)
        bytes += line + end;
    return bytes;
}

// A valid file with every box off except one step line, as given.
QList<QByteArray> linesWith(int step, const QByteArray& row, const QByteArray& speed,
                            const QByteArray& enables) {
    QList<QByteArray> lines(StepCount, Off12);
    if (step > 0)
        lines[step - 1] = row;
    lines << speed << enables;
    return lines;
}

// 'x' checked, '2' grayed, anything else unchecked.
void setBoxes(FakeStepPattern& boxes, const QStringList& rows, const QString& enables) {
    for (int step = 1; step <= rows.size(); ++step) {
        for (int channel = 1; channel <= ChannelCount; ++channel) {
            const QChar c = rows[step - 1].at(channel - 1);
            boxes.setChannelBox(step, channel, c == u'x' ? 1 : c == u'2' ? 2 : 0);
        }
    }
    for (int step = 1; step <= enables.size(); ++step)
        boxes.setEnableBox(step, enables.at(step - 1) == u'x' ? 1 : enables.at(step - 1) == u'2' ? 2 : 0);
}

QString rowOf(const Effect& effect, int step) {
    return EffectGrid::channelText(effect.grid.channels(step));
}

QString enablesOf(const Effect& effect) {
    return effect.grid.enableText();
}

} // namespace

class EffectFileTest : public QObject {
    Q_OBJECT
private slots:
    void writer_data();
    void writer();
    void roundTrip();
    void reader_data();
    void reader();
    void refused_data();
    void refused();
    void loadRefuses_data();
    void loadRefuses();
    void loadReadsOnlyWhatItNeeds();
};

void EffectFileTest::writer_data() {
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("enables");
    QTest::addColumn<int>("speed"); // -1: never set
    QTest::addColumn<QList<QByteArray>>("expected");
    QTest::addColumn<int>("size");

    QList<QByteArray> example = linesWith(0, {}, "200", "xxxx" + QByteArray(18, '0'));
    example[0] = "x00000000000";
    example[1] = "0x0000000000";
    example[2] = "00x000000000";
    example[3] = "000x00000000";
    QTest::newRow("four steps, speed 200")
        << QStringList{"x00000000000", "0x0000000000", "00x000000000", "000x00000000"} << "xxxx" << 200
        << example << 337;
    QTest::newRow("empty grid") << QStringList() << QString() << 200 << linesWith(0, {}, "200", Off22) << 337;
    QTest::newRow("speed never set: empty speed line")
        << QStringList() << QString() << -1 << linesWith(0, {}, "", Off22) << 334;
    QTest::newRow("grayed boxes are written as off")
        << QStringList{"2x2x2x2x2x2x"} << "2x2" << 2
        << linesWith(1, "0x0x0x0x0x0x", "2", "0x0" + QByteArray(19, '0')) << 335;
    QList<QByteArray> full(StepCount, QByteArray(12, 'x'));
    full << "800" << QByteArray(22, 'x');
    QTest::newRow("everything on, speed 800")
        << QStringList(StepCount, QString(12, u'x')) << QString(22, u'x') << 800 << full << 337;
    QList<QByteArray> last = linesWith(StepCount, "00000000000x", "45", QByteArray(21, '0') + "x");
    QStringList lastRows(StepCount, QString(Off12));
    lastRows.last() = QStringLiteral("00000000000x");
    QTest::newRow("channel 12 of step 22")
        << lastRows << QString(Off22).chopped(1) + "x" << 45 << last << 336;
}

void EffectFileTest::writer() {
    QFETCH(QStringList, rows);
    QFETCH(QString, enables);
    QFETCH(int, speed);
    QFETCH(QList<QByteArray>, expected);
    QFETCH(int, size);

    FakeStepPattern boxes;
    setBoxes(boxes, rows, enables);
    Module1 module;
    module.rowPattern = QStringLiteral("left over"); // the writer starts from a clean line
    const std::optional<qint16> value = speed < 0 ? std::nullopt : std::optional<qint16>(speed);
    const QByteArray bytes = writeEffect(boxes, value, module);
    QCOMPARE(bytes, joined(expected));
    QCOMPARE(bytes.size(), size);
    QCOMPARE(module.rowPattern, QStringLiteral("000000000000"));
    QCOMPARE(module.enablePattern, QString::fromLatin1(expected.last()));
    // Writing reads the boxes and changes none of them.
    FakeStepPattern again;
    setBoxes(again, rows, enables);
    QCOMPARE(boxes.channels, again.channels);
    QCOMPARE(boxes.enables, again.enables);
}

void EffectFileTest::roundTrip() {
    QRandomGenerator random(4101);
    for (int round = 0; round < 200; ++round) {
        FakeStepPattern source;
        for (auto& row : source.channels) {
            for (int& box : row)
                box = int(random.bounded(3)); // a grayed box comes back as off
        }
        for (int& box : source.enables)
            box = int(random.bounded(3));
        std::optional<qint16> speed;
        if (random.bounded(8) != 0)
            speed = qint16(random.bounded(SpeedMin, SpeedMax + 1));

        Module1 module;
        const QByteArray bytes = writeEffect(source, speed, module);
        const EffectParseResult parsed = parseEffect(bytes, Name);
        QVERIFY2(parsed.effect, qPrintable(parsed.error));

        FakeStepPattern target;
        for (auto& row : target.channels)
            row.fill(1);
        target.enables.fill(1);
        FakeSpeed bar(123);
        IntervalTimer timer;
        timer.setInterval(77);
        Module1 targetModule;
        applyEffect(*parsed.effect, target, bar, [&timer](int ms) { timer.setInterval(ms); }, targetModule);

        for (int step = 1; step <= StepCount; ++step) {
            for (int channel = 1; channel <= ChannelCount; ++channel)
                QCOMPARE(target.channelBox(step, channel), source.channelBox(step, channel) == 1 ? 1 : 0);
            QCOMPARE(target.enableBox(step), source.enableBox(step) == 1 ? 1 : 0);
        }
        QCOMPARE(bar.value(), speed ? int(*speed) : 123);
        QCOMPARE(timer.interval(), speed ? int(*speed) : 77);
        QCOMPARE(targetModule.enablePattern, module.enablePattern);
    }
}

void EffectFileTest::reader_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("step");
    QTest::addColumn<QString>("row");
    QTest::addColumn<int>("speed"); // -1: none
    QTest::addColumn<QString>("enables");
    QTest::addColumn<QString>("enableLine");

    const QByteArray e5 = "xxxxx";
    const QString zeros17(17, u'0');
    QTest::newRow("lower-case x") << joined(linesWith(3, "x0x0x0x0x0x0", "200", Off22)) << 3 << "x0x0x0x0x0x0"
                                  << 200 << QString(Off22) << QString(Off22);
    QTest::newRow("upper-case X is off") << joined(linesWith(1, "Xxxxxxxxxxxx", "200", Off22)) << 1
                                         << "0xxxxxxxxxxx" << 200 << QString(Off22) << QString(Off22);
    QTest::newRow("other characters are off") << joined(linesWith(7, "*1 x+-.xX0xx", "200", Off22)) << 7
                                              << "000x000x00xx" << 200 << QString(Off22) << QString(Off22);
    QTest::newRow("non-ASCII byte is off") << joined(linesWith(2, "\xe1xxxxxxxxxxx", "200", Off22)) << 2
                                           << "0xxxxxxxxxxx" << 200 << QString(Off22) << QString(Off22);
    QTest::newRow("short line x") << joined(linesWith(22, "x", "200", Off22)) << 22 << "x00000000000" << 200
                                  << QString(Off22) << QString(Off22);
    QTest::newRow("15 characters") << joined(linesWith(2, "0000000000x0xxx", "200", Off22)) << 2
                                   << "0000000000x0" << 200 << QString(Off22) << QString(Off22);
    QTest::newRow("enable line of 5")
        << joined(linesWith(0, {}, "200", e5)) << 0 << QString() << 200 << "xxxxx" + zeros17 << "xxxxx";
    QTest::newRow("enable line of 30") << joined(linesWith(0, {}, "200", QByteArray(30, 'x'))) << 0
                                       << QString() << 200 << QString(22, u'x') << QString(30, u'x');
    QTest::newRow("empty enable line")
        << joined(linesWith(0, {}, "200", "")) << 0 << QString() << 200 << QString(Off22) << QString();
    QList<QByteArray> thirty = linesWith(5, "xxxxxxxxxxxx", "200", e5);
    for (int i = 0; i < 6; ++i)
        thirty << "junk that is never read";
    QTest::newRow("30 lines") << joined(thirty) << 5 << "xxxxxxxxxxxx" << 200 << "xxxxx" + zeros17 << "xxxxx";
    const QList<QByteArray> ends = linesWith(9, "0x0x", "350", "x0x");
    for (const char* end : {"\r\n", "\n", "\r", "\r\r\n"}) {
        QTest::newRow(QByteArray("ends ") + QByteArray(end).toPercentEncoding())
            << joined(ends, end) << 9 << "0x0x00000000" << 350 << "x0x" + QString(19, u'0') << "x0x";
    }
    QTest::newRow("last line without an end")
        << joined(ends).chopped(2) << 9 << "0x0x00000000" << 350 << "x0x" + QString(19, u'0') << "x0x";
    // Editors that save UTF-8 "with BOM" put three bytes before step 1: they must not shift it.
    const QByteArray bom = "\xEF\xBB\xBF";
    QTest::newRow("UTF-8 byte-order mark") << bom + joined(linesWith(1, "xxxx00000000", "200", Off22)) << 1
                                           << "xxxx00000000" << 200 << QString(Off22) << QString(Off22);
    QTest::newRow("byte-order mark, LF ends, no last end")
        << bom + joined(ends, "\n").chopped(1) << 9 << "0x0x00000000" << 350 << "x0x" + QString(19, u'0')
        << "x0x";
    QTest::newRow("speed with zeros and blanks") << joined(linesWith(0, {}, " \t0200 ", Off22)) << 0
                                                 << QString() << 200 << QString(Off22) << QString(Off22);
    QTest::newRow("speed 2") << joined(linesWith(0, {}, "2", Off22)) << 0 << QString() << 2 << QString(Off22)
                             << QString(Off22);
    QTest::newRow("speed +800") << joined(linesWith(0, {}, "+800", Off22)) << 0 << QString() << 800
                                << QString(Off22) << QString(Off22);
    QTest::newRow("empty speed line")
        << joined(linesWith(0, {}, "", Off22)) << 0 << QString() << -1 << QString(Off22) << QString(Off22);
    QTest::newRow("blank speed line")
        << joined(linesWith(0, {}, "   ", Off22)) << 0 << QString() << -1 << QString(Off22) << QString(Off22);
    QByteArray largest = joined(linesWith(0, {}, "200", Off22));
    largest += QByteArray(MaxEffectFileSize - largest.size() - 2, 'x') + "\r\n";
    QTest::newRow("exactly 64 KiB") << largest << 0 << QString() << 200 << QString(Off22) << QString(Off22);
}

void EffectFileTest::reader() {
    QFETCH(QByteArray, file);
    QFETCH(int, step);
    QFETCH(QString, row);
    QFETCH(int, speed);
    QFETCH(QString, enables);
    QFETCH(QString, enableLine);

    const EffectParseResult parsed = parseEffect(file, Name);
    QVERIFY2(parsed.effect, qPrintable(parsed.error));
    const Effect& effect = *parsed.effect;
    for (int s = 1; s <= StepCount; ++s)
        QCOMPARE(rowOf(effect, s), s == step ? row : QString(Off12));
    QCOMPARE(effect.grid.speed() ? int(*effect.grid.speed()) : -1, speed);
    QCOMPARE(enablesOf(effect), enables);
    QCOMPARE(effect.enableLine, enableLine);
}

void EffectFileTest::refused_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("line"); // 0: the whole file
    QTest::addColumn<QString>("what");

    const QByteArray valid = joined(linesWith(0, {}, "200", Off22));
    QTest::newRow("empty file") << QByteArray() << 1 << "hiányzik";
    QTest::newRow("step lines only") << joined(QList<QByteArray>(StepCount, Off12)) << 23 << "hiányzik";
    QTest::newRow("23 lines") << valid.chopped(24) << 24 << "23 sorból áll";
    QTest::newRow("23 lines, no end") << valid.chopped(26) << 24 << "hiányzik";
    for (const char* speed : {"abc", "2.5", "1e2", "20 0", "-", "0x20", "200ms"}) {
        QTest::newRow(qPrintable(QStringLiteral("speed %1").arg(speed)))
            << joined(linesWith(0, {}, speed, Off22)) << 23 << "nem egész szám";
    }
    for (const char* speed : {"1", "801", "0", "-200", "65736", "99999999999999999999999"}) {
        QTest::newRow(qPrintable(QStringLiteral("speed %1").arg(speed)))
            << joined(linesWith(0, {}, speed, Off22)) << 23 << "nincs 2 és 800 között";
    }
    QTest::newRow("one byte over 64 KiB")
        << valid + QByteArray(MaxEffectFileSize - valid.size() + 1, '\n') << 0 << "64 KiB";
    QTest::newRow("one huge line") << QByteArray(1 << 20, 'x') << 0 << "64 KiB";
    // Read as two line ends, LF CR would shift every later line and blame the speed line.
    QList<QByteArray> afterPair(StepCount - 2, Off12);
    afterPair << "200" << Off22;
    QTest::newRow("LF CR is two line ends") << "x\n\r" + joined(afterPair) << 1 << "LF CR sorvég";
    QTest::newRow("LF CR line ends") << joined(linesWith(0, {}, "200", Off22), "\n\r") << 1 << "LF CR sorvég";
    const QByteArray text = joined(linesWith(1, "xxxx00000000", "200", Off22));
    const auto encoded = [&text](QStringConverter::Encoding encoding, bool mark) {
        QStringEncoder encoder(encoding,
                               mark ? QStringEncoder::Flag::WriteBom : QStringEncoder::Flag::Default);
        return QByteArray(encoder(QString::fromLatin1(text)));
    };
    QTest::newRow("UTF-16 LE with its mark")
        << encoded(QStringConverter::Utf16LE, true) << 0 << "UTF-16 (little-endian) kódolású";
    QTest::newRow("UTF-16 LE without a mark")
        << encoded(QStringConverter::Utf16LE, false) << 0 << "UTF-16 (little-endian) kódolású";
    QTest::newRow("UTF-16 BE with its mark")
        << encoded(QStringConverter::Utf16BE, true) << 0 << "UTF-16 (big-endian) kódolású";
    QTest::newRow("UTF-32 LE with its mark")
        << encoded(QStringConverter::Utf32LE, true) << 0 << "UTF-32 (little-endian) kódolású";
}

void EffectFileTest::refused() {
    QFETCH(QByteArray, file);
    QFETCH(int, line);
    QFETCH(QString, what);

    const EffectParseResult parsed = parseEffect(file, Name);
    QVERIFY(!parsed.effect);
    QVERIFY2(parsed.error.contains(QStringLiteral("„%1”").arg(QDir::toNativeSeparators(Name))),
             qPrintable(parsed.error));
    QVERIFY2(parsed.error.contains(what), qPrintable(parsed.error));
    if (line > 0)
        QVERIFY2(parsed.error.contains(QStringLiteral("%1. sor:").arg(line)), qPrintable(parsed.error));
    QVERIFY(parsed.error.size() < 300); // a bad line is quoted, not dumped
}

void EffectFileTest::loadRefuses_data() {
    QTest::addColumn<QString>("relative"); // "" stands for a device
    QTest::addColumn<QString>("what");
    QTest::newRow("missing") << "nincs.eff"
                             << "nem létezik";
    QTest::newRow("a folder") << "mappa.eff"
                              << "mappa";
    QTest::newRow("through a file") << "jó.eff/minta.eff"
                                    << "nem létezik";
    QTest::newRow("a device") << QString() << "nem közönséges fájl";
}

void EffectFileTest::loadRefuses() {
    QFETCH(QString, relative);
    QFETCH(QString, what);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("mappa.eff")));
    QFile good(dir.filePath(QStringLiteral("jó.eff")));
    QVERIFY(good.open(QIODevice::WriteOnly));
    good.write(joined(linesWith(0, {}, "200", Off22)));
    good.close();

    const QString path = relative.isEmpty() ? QStringLiteral("/dev/zero") : dir.filePath(relative);
    QByteArray bytes;
    QString error;
    QVERIFY(!loadEffectBytes(path, bytes, error));
    QVERIFY2(error.contains(path) && error.contains(what), qPrintable(error));
}

void EffectFileTest::loadReadsOnlyWhatItNeeds() {
    QTemporaryDir dir;
    QFile big(dir.filePath(QStringLiteral("nagy.eff")));
    QVERIFY(big.open(QIODevice::WriteOnly));
    QVERIFY(big.resize(64 << 20));
    big.close();
    QByteArray bytes;
    QString error;
    QVERIFY2(loadEffectBytes(big.fileName(), bytes, error), qPrintable(error));
    QCOMPARE(bytes.size(), MaxEffectFileSize + 1);
    QVERIFY(!parseEffect(bytes, big.fileName()).effect);
}

QTEST_MAIN(EffectFileTest)
#include "tst_effectfile.moc"
