#include "output/Port.h"
#include "sequencer/PlaybackEngine.h"
#include "ui/Form1.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QListWidget>
#include <QtTest>

#include <chrono>
#include <mutex>
#include <thread>

namespace {

// Records writes from the playback thread with the time they were made.
class StampedPort : public Port {
public:
    struct Write {
        int address;
        quint8 value;
        qint64 nanoseconds;
    };
    QList<Write> take() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_writes;
    }
    QList<QPair<int, int>> pairs() {
        QList<QPair<int, int>> result;
        for (const Write& w : take())
            result.append({w.address, w.value});
        return result;
    }

protected:
    bool write(int address, quint8 value) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_writes.append({address, value, m_clock.nsecsElapsed()});
        return true;
    }

private:
    std::mutex m_mutex;
    QList<Write> m_writes;
    QElapsedTimer m_clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
};

// Step k lights the data bits of k, so each write names the step it came from.
void numberSteps(Form1& window) {
    for (int step = 1; step <= StepCount; ++step) {
        for (int bit = 0; bit < 5; ++bit)
            window.setChannelBox(step, 8 - bit, (step >> bit) & 1);
        window.setEnableBox(step, 1);
    }
}

int redStep(Form1& window) {
    int red = 0;
    for (int step = 1; step <= StepCount; ++step) {
        if (window.isHighlighted(step))
            red = red ? -1 : step;
    }
    return red;
}

} // namespace

class EngineTest : public QObject {
    Q_OBJECT
private slots:
    void startWritesComeBeforeTheFirstTick();
    void clickBetweenTicksPlaysAtTheNext();
    void stalledWindowDoesNotDelayTheSteps();
};

void EngineTest::startWritesComeBeforeTheFirstTick() {
    StampedPort port;
    Form1 window(port, EngineThreading::Thread);
    QVERIFY(window.engine().threaded());
    window.engine().pauseTimer();
    window.setEnableBox(1, 1);
    window.setChannelBox(1, 1, 1);
    window.setChannelBox(1, 12, 1);
    window.Start_Stop_Click();
    window.engine().tickNow(); // due at the same moment as START
    window.engine().waitIdle();
    QCOMPARE(port.pairs(), (QList<QPair<int, int>>{{888, 0}, {890, 203}, {888, 128}, {890, 202}}));
    QCOMPARE(redStep(window), 0); // the window has not run its event loop yet
    window.engine().deliver();
    QCOMPARE(redStep(window), 1);
    QCOMPARE(window.findChild<QListWidget*>(QStringLiteral("List1"))->item(0)->text(),
             QStringLiteral("x0000000000x"));
}

void EngineTest::clickBetweenTicksPlaysAtTheNext() {
    StampedPort port;
    Form1 window(port, EngineThreading::Thread);
    window.show();
    window.engine().pauseTimer();
    window.setEnableBox(1, 1);
    window.setEnableBox(2, 1);
    window.Start_Stop_Click();
    window.engine().tickNow();
    window.engine().waitIdle();
    QTest::mouseClick(window.channelCheckBox(2, 1), Qt::LeftButton); // between two ticks
    QCOMPARE(window.channelBox(2, 1), 1);
    window.engine().tickNow();
    window.engine().waitIdle();
    const auto writes = port.pairs();
    QCOMPARE(writes.mid(4), (QList<QPair<int, int>>{{888, 128}, {890, 203}}));

    // Unchecking the step that is due next turns the next tick into an empty one.
    QTest::mouseClick(window.enableCheckBox(1), Qt::LeftButton);
    window.engine().tickNow();
    window.engine().waitIdle();
    QCOMPARE(port.pairs().size(), writes.size());
}

void EngineTest::stalledWindowDoesNotDelayTheSteps() {
    StampedPort port;
    Form1 window(port, EngineThreading::Thread);
    numberSteps(window);
    window.VScroll1_Change(5);
    window.Start_Stop_Click();
    window.engine().waitIdle();

    const qint64 before = port.take().size();
    QElapsedTimer stall;
    stall.start();
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // the window's thread blocks
    const qint64 stalledFor = stall.elapsed();
    const QList<StampedPort::Write> writes = port.take();
    // About 60 steps fall due in the stall; even a loaded machine plays far more than 10.
    QVERIFY2(writes.size() - before >= 20,
             qPrintable(QStringLiteral("%1 writes in %2 ms").arg(writes.size() - before).arg(stalledFor)));

    // Once the window runs again it shows the newest step at once, not the backlog.
    window.Start_Stop_Click(); // STOP: nothing ticks after this
    window.engine().waitIdle();
    QCoreApplication::processEvents();
    const QList<StampedPort::Write> last = port.take();
    const int lastStep = last.at(last.size() - 2).value;
    QCOMPARE(redStep(window), lastStep);
    QString line = QStringLiteral("000000000000");
    for (int bit = 0; bit < 5; ++bit)
        line[7 - bit] = (lastStep >> bit) & 1 ? QLatin1Char('x') : QLatin1Char('0');
    QCOMPARE(window.findChild<QListWidget*>(QStringLiteral("List1"))->item(0)->text(), line);
}

QTEST_MAIN(EngineTest)
#include "tst_engine.moc"
