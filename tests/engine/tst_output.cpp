#include "FakeStepPattern.h"

#include "RecordingPort.h"
#include "output/Module1.h"
#include "output/OutputMonitor.h"
#include "output/OutputRouter.h"
#include "output/Port.h"
#include "output/StepEncoder.h"

#include <QtTest>

#include <future>
#include <thread>

class OutputTest : public QObject {
    Q_OBJECT
private slots:
    void encodeStep_data();
    void encodeStep();
    void encodeStepReadsOnlyItsOwnRow_data();
    void encodeStepReadsOnlyItsOwnRow();
    void encodeStepLeavesNothingOver();
    void grayedBoxCountsAsOff();
    void monitorLine_data();
    void monitorLine();
    void writePortsOrder_data();
    void writePortsOrder();
    void recordingPortRefusesOtherAddresses();
    void leftOutputClosedOffThePlayingThread();
    void failureAskedWhileStartSwapsOutputs();
};

void OutputTest::encodeStep_data() {
    QTest::addColumn<QString>("row");
    QTest::addColumn<int>("dataValue");
    QTest::addColumn<int>("controlValue");
    QTest::addColumn<QString>("controlPattern");

    QTest::newRow("all off") << "000000000000" << 0 << 203 << "0000";
    QTest::newRow("all on") << "xxxxxxxxxxxx" << 255 << 196 << "xxxx";
    QTest::newRow("channel 1") << "x00000000000" << 128 << 203 << "0000";
    QTest::newRow("channel 8") << "0000000x0000" << 1 << 203 << "0000";
    QTest::newRow("channels 1 and 8") << "x000000x0000" << 129 << 203 << "0000";
    QTest::newRow("channel 9 (C3, inverted)") << "00000000x000" << 0 << 195 << "x000";
    QTest::newRow("channel 10 (C2)") << "000000000x00" << 0 << 207 << "0x00";
    QTest::newRow("channel 11 (C1, inverted)") << "0000000000x0" << 0 << 201 << "00x0";
    QTest::newRow("channel 12 (C0, inverted)") << "00000000000x" << 0 << 202 << "000x";
    QTest::newRow("9, 11, 12: lowest control") << "00000000x0xx" << 0 << 192 << "x0xx";
    QTest::newRow("alternate data") << "x0x0x0x00000" << 170 << 203 << "0000";
    QTest::newRow("1, 8 and 10") << "x000000x0x00" << 129 << 207 << "0x00";
}

void OutputTest::encodeStep() {
    QFETCH(QString, row);
    QFETCH(int, dataValue);
    QFETCH(int, controlValue);
    QFETCH(QString, controlPattern);

    // Every step encodes alike; check the first, a middle and the last row.
    for (int step : {1, 11, 22}) {
        FakeStepPattern boxes;
        boxes.setRow(step, row);
        Module1 module;
        ::encodeStep(module, boxes, step);
        QCOMPARE(int(module.dataValue), dataValue);
        QCOMPARE(int(module.controlValue), controlValue);
        QCOMPARE(module.controlPattern, controlPattern);
        // Same again: the encoder keeps nothing between calls.
        ::encodeStep(module, boxes, step);
        QCOMPARE(int(module.dataValue), dataValue);
        QCOMPARE(int(module.controlValue), controlValue);
    }
}

void OutputTest::encodeStepReadsOnlyItsOwnRow_data() {
    QTest::addColumn<int>("step");
    QTest::newRow("step 1 = index 0") << 1;
    QTest::newRow("step 2") << 2;
    QTest::newRow("step 21") << 21;
    QTest::newRow("step 22 = index 21") << 22;
}

void OutputTest::encodeStepReadsOnlyItsOwnRow() {
    QFETCH(int, step);
    FakeStepPattern boxes;
    for (int s = 1; s <= StepCount; ++s)
        boxes.setRow(s, QStringLiteral("xxxxxxxxxxxx"));
    boxes.setRow(step, QStringLiteral("0x000000x000"));
    boxes.enableOnly({}); // the step's enable box plays no part in the encoding
    Module1 module;
    ::encodeStep(module, boxes, step);
    QCOMPARE(int(module.dataValue), 64);
    QCOMPARE(int(module.controlValue), 195);
    QCOMPARE(module.controlPattern, QStringLiteral("x000"));
}

void OutputTest::encodeStepLeavesNothingOver() {
    FakeStepPattern boxes;
    boxes.setRow(1, QStringLiteral("xxxxxxxxxxxx"));
    Module1 module;
    ::encodeStep(module, boxes, 1);
    ::encodeStep(module, boxes, 2);
    QCOMPARE(int(module.dataValue), 0);
    QCOMPARE(int(module.controlValue), 203);
    QCOMPARE(module.controlPattern, QStringLiteral("0000"));
}

void OutputTest::grayedBoxCountsAsOff() {
    FakeStepPattern boxes;
    for (int c = 1; c <= ChannelCount; ++c)
        boxes.setChannelBox(5, c, 2);
    Module1 module;
    ::encodeStep(module, boxes, 5);
    QCOMPARE(int(module.dataValue), 0);
    QCOMPARE(int(module.controlValue), 203);
    QCOMPARE(module.controlPattern, QStringLiteral("0000"));
}

void OutputTest::monitorLine_data() {
    QTest::addColumn<int>("dataValue");
    QTest::addColumn<QString>("controlPattern");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("hexText");

    QTest::newRow("0 padded to 00") << 0 << "0000"
                                    << "000000000000"
                                    << "00";
    QTest::newRow("255") << 255 << "xxxx"
                         << "xxxxxxxxxxxx"
                         << "FF";
    QTest::newRow("15 = F padded") << 15 << "0000"
                                   << "0000xxxx0000"
                                   << "0F";
    QTest::newRow("16 = 10") << 16 << "0000"
                             << "000x00000000"
                             << "10";
    QTest::newRow("10 = A padded") << 10 << "0000"
                                   << "0000x0x00000"
                                   << "0A";
    QTest::newRow("129 with channel 10") << 129 << "0x00"
                                         << "x000000x0x00"
                                         << "81";
    QTest::newRow("channel 1") << 128 << "0000"
                               << "x00000000000"
                               << "80";
    QTest::newRow("channel 8") << 1 << "000x"
                               << "0000000x000x"
                               << "01";
    QTest::newRow("B and C digits") << 0xBC << "x0x0"
                                    << "x0xxxx00x0x0"
                                    << "BC";
    QTest::newRow("D and E digits") << 0xDE << "0000"
                                    << "xx0xxxx00000"
                                    << "DE";
}

void OutputTest::monitorLine() {
    QFETCH(int, dataValue);
    QFETCH(QString, controlPattern);
    QFETCH(QString, line);
    QFETCH(QString, hexText);

    OutputMonitor monitor;
    Module1 module;
    module.dataValue = static_cast<qint16>(dataValue);
    module.controlPattern = controlPattern;
    FakeStepPattern view;
    monitor.updateMonitor(module, view);
    QCOMPARE(view.monitorLines, QList<QString>{line});
    QCOMPARE(monitor.hexText, hexText);
}

void OutputTest::writePortsOrder_data() {
    QTest::addColumn<int>("dataValue");
    QTest::addColumn<int>("controlValue");
    QTest::newRow("start-up values") << 0 << 203;
    QTest::newRow("all on") << 255 << 196;
    QTest::newRow("lowest control") << 0 << 192;
    QTest::newRow("highest control") << 129 << 207;
}

void OutputTest::writePortsOrder() {
    QFETCH(int, dataValue);
    QFETCH(int, controlValue);
    Module1 module;
    module.dataValue = static_cast<qint16>(dataValue);
    module.controlValue = static_cast<qint16>(controlValue);
    RecordingPort port;
    QVERIFY(writePorts(module, port));
    QVERIFY(writePorts(module, port)); // unchanged values are written again
    const QList<RecordingPort::Write> expected{{888, quint8(dataValue)},
                                               {890, quint8(controlValue)},
                                               {888, quint8(dataValue)},
                                               {890, quint8(controlValue)}};
    QCOMPARE(port.writes, expected);
    QCOMPARE(module.dataByte, double(dataValue));
    QCOMPARE(module.controlByte, double(controlValue));
}

void OutputTest::recordingPortRefusesOtherAddresses() {
    RecordingPort port;
    QVERIFY(!port.portOut(889, 1));
    QVERIFY(port.writes.isEmpty());
    QVERIFY(port.errorMessage().contains(QStringLiteral("889")));
}

// Closing may wait (a DMX output on a stalled olad); START must not wait for it.
void OutputTest::leftOutputClosedOffThePlayingThread() {
    struct ClosingPort : RecordingPort {
        std::promise<std::thread::id> closedOn;
        ~ClosingPort() override { closedOn.set_value(std::this_thread::get_id()); }
    };
    auto left = std::make_unique<ClosingPort>();
    std::future<std::thread::id> closed = left->closedOn.get_future();
    OutputRouter router(OutputChoice{}, std::move(left));
    QVERIFY(router.portOut(888, 1));
    router.choose(OutputChoice{}, std::make_unique<RecordingPort>());
    router.retry(); // START takes up the new output
    QVERIFY(router.portOut(888, 2));
    QCOMPARE(closed.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    QVERIFY(closed.get() != std::this_thread::get_id());
}

// The window asks about the output (the failure message, the menu) while START on the playing
// thread takes up a new choice and the closer destroys the old one. Meaningful under
// ThreadSanitizer, which reports any unguarded look at the outgoing backend.
void OutputTest::failureAskedWhileStartSwapsOutputs() {
    OutputRouter router(OutputChoice{}, std::make_unique<RecordingPort>());
    std::atomic<bool> done{false};
    std::thread playing([&] {
        while (!done) {
            router.retry(); // START
            router.portOut(888, 1);
        }
    });
    int latching = 0;
    for (int i = 0; i < 2000; ++i) {
        auto next = std::make_unique<RecordingPort>();
        next->setLatching(i % 2 == 0);
        router.choose(OutputChoice{}, std::move(next));
        latching += router.latchesFailures() ? 1 : 0;
        latching += router.failing() ? 1 : 0;
    }
    done = true;
    playing.join();
    QVERIFY(latching > 0);
}

QTEST_APPLESS_MAIN(OutputTest)
#include "tst_output.moc"
