#include "FakeStepPattern.h"

#include "RecordingPort.h"
#include "SequencerRig.h"
#include "output/Module1.h"
#include "sequencer/Sequencer.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

// Step k lights the data bits of k, so every played step is recognisable on the port.
QString rowFor(int step) {
    QString row(12, QLatin1Char('0'));
    for (int bit = 0; bit < 8; ++bit) {
        if (step & (1 << bit))
            row[7 - bit] = QLatin1Char('x');
    }
    return row;
}

struct Rig : SequencerRig<RecordingPort> {
    Rig() {
        for (int step = 1; step <= StepCount; ++step)
            boxes.setRow(step, rowFor(step));
    }

    // Ticks once; returns the step played (0 for an empty tick) after checking that the
    // highlight and the port agree with it.
    int tick() {
        const qsizetype writesBefore = port.writes.size();
        sequencer.tick();
        const QList<int> red = boxes.redSteps();
        const qsizetype written = port.writes.size() - writesBefore;
        if (red.isEmpty()) {
            if (written != 0)
                return -1;
            return 0;
        }
        if (red.size() != 1 || written != 2)
            return -1;
        const int step = red.first();
        if (port.writes[writesBefore] != RecordingPort::Write{888, quint8(step)} ||
            port.writes[writesBefore + 1] != RecordingPort::Write{890, 203})
            return -1;
        return step;
    }
};

} // namespace

class SequencerTest : public QObject {
    Q_OBJECT
private slots:
    void playback_data();
    void playback();
    void startWritesDataZeroAndKeepsControl();
    void stopFreezesEverything();
    void uncheckingTheNextStepGivesAnEmptyTick();
    void checkingAnAlreadySkippedStepWaitsForTheNextCycle();
    void editWhilePlayingShowsAtTheNextPlay();
    void disabledStepKeepsItsChannels();
    void speedChange();
    void portFailureReportedOncePerRun();
};

void SequencerTest::playback_data() {
    QTest::addColumn<QList<int>>("enabled");
    QTest::addColumn<QList<int>>("played");   // per tick, 0 = empty tick
    QTest::addColumn<QList<int>>("counters"); // currentStep at the end of each tick (may be shorter)

    QTest::newRow("worked example: steps 3 and 7")
        << QList<int>{3, 7} << QList<int>{0, 3, 7, 0, 3, 7, 0, 3} << QList<int>{2, 6, 1, 2, 6, 1};
    QList<int> all;
    QList<int> allPlayed;
    for (int i = 1; i <= 22; ++i)
        all << i;
    allPlayed << all << 1 << 2;
    QTest::newRow("all steps") << all << allPlayed << QList<int>{1, 2, 3};
    QTest::newRow("only step 1") << QList<int>{1} << QList<int>{1, 1, 1, 1} << QList<int>{0, 0, 0};
    QTest::newRow("only step 2") << QList<int>{2} << QList<int>{0, 2, 2, 2} << QList<int>{1, 1, 1};
    QTest::newRow("only step 5") << QList<int>{5} << QList<int>{0, 5, 0, 5, 0, 5} << QList<int>{4, 1, 4, 1};
    QTest::newRow("only step 22") << QList<int>{22} << QList<int>{0, 22, 0, 22} << QList<int>{21, 1, 21, 1};
    QTest::newRow("steps 1 and 2 off, 5 and 9 on")
        << QList<int>{5, 9} << QList<int>{0, 5, 9, 0, 5, 9, 0} << QList<int>{4, 8, 1, 4};
    QTest::newRow("step 1 off, step 2 on")
        << QList<int>{2, 6} << QList<int>{0, 2, 6, 2, 6, 2} << QList<int>{1, 5, 1, 5};
    QTest::newRow("nothing enabled") << QList<int>{} << QList<int>{0, 0, 0, 0} << QList<int>{1, 1, 1, 1};
    QTest::newRow("steps 1 and 22") << QList<int>{1, 22} << QList<int>{1, 22, 1, 22, 1}
                                    << QList<int>{21, 0, 21};
    QTest::newRow("steps 21 and 22") << QList<int>{21, 22} << QList<int>{0, 21, 22, 0, 21, 22}
                                     << QList<int>{20, 21, 1};
}

void SequencerTest::playback() {
    QFETCH(QList<int>, enabled);
    QFETCH(QList<int>, played);
    QFETCH(QList<int>, counters);

    Rig rig;
    rig.boxes.enableOnly(enabled);
    rig.sequencer.startStop();
    QCOMPARE(rig.port.writes, (QList<RecordingPort::Write>{{888, 0}, {890, 203}}));
    QCOMPARE(int(rig.sequencer.currentStep), 0);

    QList<int> actualPlayed;
    QList<int> actualCounters;
    for (int i = 0; i < played.size(); ++i) {
        actualPlayed << rig.tick();
        actualCounters << rig.sequencer.currentStep;
        QVERIFY(rig.sequencer.currentStep >= 0 && rig.sequencer.currentStep < 22);
    }
    QCOMPARE(actualPlayed, played);
    QCOMPARE(actualCounters.mid(0, counters.size()), counters);

    // The monitor shows exactly the played steps, one line each.
    QStringList expectedLines;
    for (int step : played) {
        if (step > 0)
            expectedLines << rowFor(step);
    }
    QCOMPARE(QStringList(rig.boxes.monitorLines), expectedLines);
}

void SequencerTest::startWritesDataZeroAndKeepsControl() {
    Rig rig;
    rig.boxes.enableOnly({4});
    rig.boxes.setRow(4, QStringLiteral("xxxxxxxxxxxx"));
    rig.sequencer.startStop();
    rig.sequencer.tick();
    rig.sequencer.tick();
    QCOMPARE(rig.port.writes.last(), (RecordingPort::Write{890, 196}));
    rig.sequencer.startStop(); // stop: nothing written
    const qsizetype before = rig.port.writes.size();
    rig.sequencer.startStop(); // start again
    QCOMPARE(rig.port.writes.mid(before), (QList<RecordingPort::Write>{{888, 0}, {890, 196}}));
    QCOMPARE(int(rig.sequencer.currentStep), 0);
    QCOMPARE(int(rig.module.controlValue), 196);
    QCOMPARE(rig.module.controlPattern, QStringLiteral("xxxx"));
    QCOMPARE(rig.boxes.monitorLines.size(), 1); // START does not refresh the monitor
}

void SequencerTest::stopFreezesEverything() {
    Rig rig;
    rig.boxes.enableOnly({1, 2, 3});
    rig.sequencer.startStop();
    rig.tick();
    QCOMPARE(rig.tick(), 2);
    rig.sequencer.startStop();
    QCOMPARE(int(rig.sequencer.running), 0);
    const auto writes = rig.port.writes;
    for (int i = 0; i < 5; ++i)
        rig.sequencer.tick();
    QCOMPARE(rig.port.writes, writes);
    QCOMPARE(rig.boxes.redSteps(), QList<int>{2});
    QCOMPARE(int(rig.sequencer.currentStep), 2);
    QCOMPARE(rig.boxes.monitorLines.size(), 2);
}

void SequencerTest::uncheckingTheNextStepGivesAnEmptyTick() {
    Rig rig;
    rig.boxes.enableOnly({2, 5, 8});
    rig.sequencer.startStop();
    QCOMPARE(rig.tick(), 0);
    QCOMPARE(rig.tick(), 2);
    rig.boxes.setEnableBox(5, 0);
    QCOMPARE(rig.tick(), 0);
    QCOMPARE(rig.tick(), 8);
    QCOMPARE(rig.boxes.channelBox(5, 6), 1); // its pattern is untouched (5 = ....x0x)
}

void SequencerTest::checkingAnAlreadySkippedStepWaitsForTheNextCycle() {
    Rig rig;
    rig.boxes.enableOnly({2, 8});
    rig.sequencer.startStop();
    QCOMPARE(rig.tick(), 0);
    QCOMPARE(rig.tick(), 2); // carried the counter over 3..7
    rig.boxes.setEnableBox(4, 1);
    QCOMPARE(rig.tick(), 8);
    QCOMPARE(rig.tick(), 2); // step 1 off, step 2 on: no empty tick after the wrap
    QCOMPARE(rig.tick(), 4);
}

void SequencerTest::editWhilePlayingShowsAtTheNextPlay() {
    Rig rig;
    rig.boxes.enableOnly({1, 2});
    rig.boxes.setRow(1, QStringLiteral("000000000000"));
    rig.sequencer.startStop();
    rig.sequencer.tick();
    QCOMPARE(rig.port.writes.last(), (RecordingPort::Write{890, 203}));
    rig.boxes.setChannelBox(1, 12, 1);
    QCOMPARE(rig.port.writes.size(), 4); // nothing happens on the click itself
    rig.sequencer.tick();                // step 2
    rig.sequencer.tick();                // step 1 with channel 12
    QCOMPARE(rig.port.writes.last(), (RecordingPort::Write{890, 202}));
    QCOMPARE(rig.boxes.monitorLines.last(), QStringLiteral("00000000000x"));
}

void SequencerTest::disabledStepKeepsItsChannels() {
    Rig rig;
    rig.boxes.enableOnly({3});
    rig.sequencer.startStop();
    rig.boxes.setEnableBox(3, 0);
    rig.sequencer.tick();
    rig.sequencer.tick();
    rig.boxes.setEnableBox(3, 1);
    for (int i = 0; i < 4; ++i)
        rig.sequencer.tick();
    QCOMPARE(rig.boxes.monitorLines.last(), rowFor(3));
}

void SequencerTest::speedChange() {
    Rig rig;
    QVERIFY(!rig.sequencer.speed.has_value());
    QCOMPARE(rig.sequencer.timer().interval(), 200);
    QCOMPARE(rig.sequencer.timer().timerType(), Qt::PreciseTimer);
    rig.boxes.enableOnly({1, 2, 3});
    rig.sequencer.startStop();
    rig.tick();
    rig.sequencer.speedChanged(2);
    QCOMPARE(rig.sequencer.speed.value(), qint16(2));
    QCOMPARE(rig.sequencer.timer().interval(), 2);
    QCOMPARE(rig.tick(), 2); // playback carries on where it was
    rig.sequencer.speedChanged(800);
    QCOMPARE(rig.sequencer.timer().interval(), 800);
}

void SequencerTest::portFailureReportedOncePerRun() {
    Rig rig;
    QSignalSpy failures(&rig.sequencer, &Sequencer::portFailed);
    rig.port.setFault(QStringLiteral("nincs port"));
    rig.boxes.enableOnly({1, 2});
    rig.sequencer.startStop();
    QCOMPARE(failures.size(), 1);
    QCOMPARE(failures.first().first().toString(), QStringLiteral("nincs port"));
    for (int i = 0; i < 6; ++i)
        rig.sequencer.tick();
    QCOMPARE(failures.size(), 1);
    // Playback goes on on screen.
    QCOMPARE(rig.boxes.redSteps(), QList<int>{2});
    QCOMPARE(rig.boxes.monitorLines.size(), 6);
    QVERIFY(rig.port.writes.isEmpty());

    // A later START tries again but does not tell the same failure twice.
    rig.sequencer.startStop();
    const int retriesAtFault = rig.port.retries;
    rig.sequencer.startStop();
    QCOMPARE(rig.port.retries, retriesAtFault + 1);
    QCOMPARE(failures.size(), 1);

    // With the fault gone the port is written once more.
    rig.sequencer.startStop();
    rig.port.clearFault();
    const int retriesBefore = rig.port.retries;
    rig.sequencer.startStop();
    QCOMPARE(rig.port.retries, retriesBefore + 1);
    QCOMPARE(failures.size(), 1);
    QCOMPARE(rig.port.writes, (QList<RecordingPort::Write>{{888, 0}, {890, 203}}));
    rig.sequencer.tick();
    QCOMPARE(rig.port.writes.size(), 4);

    // A different fault in the middle of a run is reported, then quiet again.
    rig.port.setFault(QStringLiteral("EIO"));
    rig.sequencer.tick();
    rig.sequencer.tick();
    QCOMPARE(failures.size(), 2);

    // A port that does not latch (it recovers by itself) is written on every tick; its failure
    // is still told once.
    rig.port.setLatching(false);
    rig.port.setFault(QStringLiteral("EIO"));
    rig.sequencer.startStop();
    rig.sequencer.startStop();
    rig.sequencer.tick();
    rig.port.clearFault();
    rig.sequencer.tick();
    QCOMPARE(failures.size(), 2);
    QCOMPARE(rig.port.writes.size(), 6);
}

QTEST_GUILESS_MAIN(SequencerTest)
#include "tst_sequencer.moc"
