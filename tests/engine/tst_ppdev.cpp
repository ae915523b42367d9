#include "FakeStepPattern.h"

#include "output/Module1.h"
#include "output/parport/PpdevPort.h"
#include "sequencer/Sequencer.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>

namespace {

// A stand-in for the kernel's ppdev driver that records what it is asked and fails on demand.
struct FakeKernel {
    int openError = 0;
    int claimError = 0;
    bool claimBlocks = false; // sleeps like a claim on a port held elsewhere, until a signal
    int directionError = 0;
    int failWriteNumber = -1; // the n-th write (0-based) fails with writeError
    int writeError = EIO;

    int opens = 0;
    int openFds = 0;
    int openFlags = 0;
    QByteArray openedPath;
    int writeCount = 0;
    QList<QPair<unsigned long, int>> calls; // request, byte (or -1)

    static FakeKernel* current;

    static int open(const char* path, int flags) {
        current->opens++;
        current->openFlags = flags;
        current->openedPath = path;
        if (current->openError) {
            errno = current->openError;
            return -1;
        }
        current->openFds++;
        return 42;
    }
    static int ioctl(int fd, unsigned long request, void* argument) {
        if (fd != 42) {
            errno = EBADF;
            return -1;
        }
        FakeKernel& k = *current;
        if (request == PPCLAIM) {
            k.calls.append({request, -1});
            if (k.claimBlocks) {
                timespec longWait{30, 0};
                if (nanosleep(&longWait, nullptr) < 0)
                    return -1; // EINTR, as the real claim does
            }
            if (k.claimError) {
                errno = k.claimError;
                return -1;
            }
            return 0;
        }
        if (request == PPDATADIR) {
            k.calls.append({request, *static_cast<int*>(argument)});
            if (k.directionError) {
                errno = k.directionError;
                return -1;
            }
            return 0;
        }
        k.calls.append({request, *static_cast<unsigned char*>(argument)});
        if (k.writeCount++ == k.failWriteNumber) {
            errno = k.writeError;
            return -1;
        }
        return 0;
    }
    static int close(int) {
        current->openFds--;
        return 0;
    }
    static PpdevCalls calls_() { return {FakeKernel::open, FakeKernel::ioctl, FakeKernel::close}; }

    QList<QPair<unsigned long, int>> writes() const {
        QList<QPair<unsigned long, int>> result;
        for (const auto& call : calls) {
            if (call.first == PPWDATA || call.first == PPWCONTROL)
                result.append(call);
        }
        return result;
    }
};
FakeKernel* FakeKernel::current = nullptr;

} // namespace

class PpdevTest : public QObject {
    Q_OBJECT
private slots:
    void init() { FakeKernel::current = &kernel; }
    void cleanup() { kernel = FakeKernel(); }

    void opensAtFirstWriteAndWritesRegisters();
    void refusesOtherAddresses();
    void faults_data();
    void faults();
    void busyPortDoesNotFreeze();
    void sequencerCarriesOnAndRetries();

private:
    FakeKernel kernel;
};

void PpdevTest::opensAtFirstWriteAndWritesRegisters() {
    PpdevPort port(QStringLiteral("/dev/parport0"), FakeKernel::calls_());
    QCOMPARE(kernel.opens, 0); // nothing at construction
    QVERIFY(port.portOut(888, 0xA5));
    QVERIFY(port.portOut(890, 203));
    QVERIFY(port.portOut(890, 196));
    QCOMPARE(kernel.opens, 1);
    QCOMPARE(kernel.openedPath, QByteArray("/dev/parport0"));
    QCOMPARE(kernel.openFlags & O_ACCMODE, O_RDWR);
    QCOMPARE(kernel.openFlags & (O_CREAT | O_TRUNC), 0);
    const QList<QPair<unsigned long, int>> expected{
        {PPCLAIM, -1}, {PPDATADIR, 0}, {PPWDATA, 0xA5}, {PPWCONTROL, 203 & 0x0F}, {PPWCONTROL, 196 & 0x0F}};
    QCOMPARE(kernel.calls, expected);
}

void PpdevTest::refusesOtherAddresses() {
    PpdevPort port(QStringLiteral("/dev/parport0"), FakeKernel::calls_());
    for (int address : {0, 889, 891, 0x278, 0x3BC}) {
        QVERIFY(!port.portOut(address, 1));
        QVERIFY(port.errorMessage().contains(QString::number(address)));
    }
    QVERIFY(kernel.calls.isEmpty());
    QCOMPARE(kernel.opens, 0);
}

void PpdevTest::faults_data() {
    QTest::addColumn<int>("openError");
    QTest::addColumn<int>("claimError");
    QTest::addColumn<int>("directionError");
    QTest::addColumn<int>("failWrite");
    QTest::addColumn<QStringList>("fragments"); // the cause and the remedy

    QTest::newRow("device missing") << ENOENT << 0 << 0 << -1
                                    << QStringList{"nem található", "ENOENT", "modprobe ppdev"};
    QTest::newRow("no such driver") << ENODEV << 0 << 0 << -1 << QStringList{"nem található", "ENODEV"};
    QTest::newRow("permission denied")
        << EACCES << 0 << 0 << -1 << QStringList{"nincs jogosultság", "EACCES", "lp csoportba"};
    QTest::newRow("busy on claim") << 0 << EBUSY << 0 << -1 << QStringList{"foglalja", "rmmod lp"};
    QTest::newRow("direction refused") << 0 << 0 << EINVAL << -1 << QStringList{"rendszerhiba", "EINVAL"};
    QTest::newRow("write fails mid-run (device gone)")
        << 0 << 0 << 0 << 3 << QStringList{"írás közben", "EIO", "megszűnt"};
}

void PpdevTest::faults() {
    QFETCH(int, openError);
    QFETCH(int, claimError);
    QFETCH(int, directionError);
    QFETCH(int, failWrite);
    QFETCH(QStringList, fragments);
    kernel.openError = openError;
    kernel.claimError = claimError;
    kernel.directionError = directionError;
    kernel.failWriteNumber = failWrite;

    PpdevPort port(QStringLiteral("/dev/parport0"), FakeKernel::calls_());
    bool ok = true;
    int attempts = 0;
    while (ok && attempts < 10) {
        ok = port.portOut(attempts % 2 ? 890 : 888, 7);
        ++attempts;
    }
    QVERIFY(!ok);
    const QString message = port.errorMessage();
    QVERIFY(message.contains(QStringLiteral("/dev/parport0")));
    QVERIFY(message.contains(QStringLiteral("Teendő")));
    for (const QString& fragment : fragments)
        QVERIFY2(message.contains(fragment), qPrintable(message));
    QCOMPARE(kernel.openFds, 0); // a failed device is not left open

    // Failed means quiet: no more system calls until retry().
    const auto calls = kernel.calls;
    const int opens = kernel.opens;
    QVERIFY(!port.portOut(888, 1));
    QVERIFY(!port.portOut(890, 203));
    QCOMPARE(kernel.calls, calls);
    QCOMPARE(kernel.opens, opens);

    // After retry with the fault gone, the port opens afresh and writes again.
    kernel.openError = kernel.claimError = kernel.directionError = 0;
    kernel.failWriteNumber = -1;
    port.retry();
    QVERIFY(port.portOut(888, 0x11));
    QVERIFY(port.portOut(890, 0xCB));
    QCOMPARE(kernel.opens, opens + 1);
    QCOMPARE(kernel.writes().mid(kernel.writes().size() - 2),
             (QList<QPair<unsigned long, int>>{{PPWDATA, 0x11}, {PPWCONTROL, 0x0B}}));
}

void PpdevTest::busyPortDoesNotFreeze() {
    kernel.claimBlocks = true;
    PpdevPort port(QStringLiteral("/dev/parport0"), FakeKernel::calls_(), 100);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!port.portOut(888, 0));
    QVERIFY2(clock.elapsed() < 5000, "the claim was not interrupted");
    QVERIFY(port.errorMessage().contains(QStringLiteral("foglalja")));
    QVERIFY(kernel.writes().isEmpty());
}

void PpdevTest::sequencerCarriesOnAndRetries() {
    kernel.openError = ENOENT;
    PpdevPort port(QStringLiteral("/dev/parport0"), FakeKernel::calls_());
    FakeStepPattern boxes;
    Module1 module;
    Sequencer sequencer(boxes, boxes, module, port);
    sequencer.timer().stop();
    QSignalSpy failures(&sequencer, &Sequencer::portFailed);
    boxes.enableOnly({1, 2});
    boxes.setRow(2, QStringLiteral("x0000000000x"));

    sequencer.startStop();
    for (int i = 0; i < 4; ++i)
        sequencer.tick();
    QCOMPARE(failures.size(), 1);
    QCOMPARE(kernel.opens, 1); // not retried on every tick
    QCOMPARE(boxes.redSteps(), QList<int>{2});
    QCOMPARE(boxes.monitorLines.last(), QStringLiteral("x0000000000x"));

    kernel.openError = 0;
    sequencer.startStop();
    sequencer.startStop();
    sequencer.tick();
    sequencer.tick();
    QCOMPARE(failures.size(), 1);
    // START keeps the control value of the step last played on screen.
    QCOMPARE(kernel.writes(), (QList<QPair<unsigned long, int>>{{PPWDATA, 0},
                                                                {PPWCONTROL, 202 & 0x0F},
                                                                {PPWDATA, 0},
                                                                {PPWCONTROL, 203 & 0x0F},
                                                                {PPWDATA, 128},
                                                                {PPWCONTROL, 202 & 0x0F}}));
}

QTEST_GUILESS_MAIN(PpdevTest)
#include "tst_ppdev.moc"
