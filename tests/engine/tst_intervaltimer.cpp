#include "sequencer/IntervalTimer.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

// The timer is real time by nature; these checks only count ticks over generous spans, so a busy
// machine makes them slower, never wrong.
class IntervalTimerTest : public QObject {
    Q_OBJECT
private slots:
    void ticksWhileActive();
    void stopMeansNoMoreTicks();
    void zeroIntervalDoesNotSpin();
    void newIntervalTakesEffect();
};

void IntervalTimerTest::ticksWhileActive() {
    IntervalTimer timer;
    QVERIFY(timer.usesKernelTimer());
    QCOMPARE(timer.timerType(), Qt::PreciseTimer);
    QSignalSpy ticks(&timer, &IntervalTimer::timeout);
    timer.setInterval(2);
    QVERIFY(!timer.isActive());
    timer.start();
    QVERIFY(timer.isActive());
    QTRY_VERIFY_WITH_TIMEOUT(ticks.size() >= 5, 5000);
}

void IntervalTimerTest::stopMeansNoMoreTicks() {
    IntervalTimer timer;
    QSignalSpy ticks(&timer, &IntervalTimer::timeout);
    timer.setInterval(1);
    timer.start();
    QTRY_VERIFY_WITH_TIMEOUT(ticks.size() >= 1, 5000);
    QTest::qWait(5); // let expirations pile up in the kernel
    timer.stop();
    const qsizetype after = ticks.size();
    QTest::qWait(30);
    QCOMPARE(ticks.size(), after);
    QVERIFY(!timer.isActive());
}

void IntervalTimerTest::zeroIntervalDoesNotSpin() {
    IntervalTimer timer;
    QSignalSpy ticks(&timer, &IntervalTimer::timeout);
    timer.setInterval(0);
    timer.start();
    QTest::qWait(30);
    QCOMPARE(ticks.size(), 0);
}

void IntervalTimerTest::newIntervalTakesEffect() {
    IntervalTimer timer;
    QSignalSpy ticks(&timer, &IntervalTimer::timeout);
    timer.setInterval(60000);
    timer.start();
    QTest::qWait(20);
    QCOMPARE(ticks.size(), 0);
    timer.setInterval(2); // a running timer picks up the new interval at once
    QCOMPARE(timer.interval(), 2);
    QTRY_VERIFY_WITH_TIMEOUT(ticks.size() >= 3, 5000);
}

QTEST_GUILESS_MAIN(IntervalTimerTest)
#include "tst_intervaltimer.moc"
