#include "FakeStepPattern.h"

#include "RecordingPort.h"
#include "output/Module1.h"
#include "output/OutputRouter.h"
#include "output/parport/DirectIoPort.h"
#include "output/parport/PpdevPort.h"
#include "output/parport/SystemPort.h"
#include "sequencer/Sequencer.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <linux/major.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

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

    // The node looks like a ppdev device unless a test says otherwise.
    static int stat(const char*, struct stat* status) {
        *status = {};
        status->st_mode = S_IFCHR | 0660;
        status->st_rdev = makedev(PP_MAJOR, 0);
        return 0;
    }
    static int fstat(int, struct stat* status) { return stat(nullptr, status); }
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
    static PpdevCalls calls_() {
        return {FakeKernel::stat, FakeKernel::open, FakeKernel::fstat, FakeKernel::ioctl, FakeKernel::close};
    }

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

// Real nodes of this machine, with the opens counted; ioctl must never reach them.
struct RealNodes {
    static inline int opens = 0;
    static inline bool swapped = false; // the check sees a port, the open gets what is there
    static int stat(const char* path, struct stat* status) {
        return swapped ? FakeKernel::stat(path, status) : ::stat(path, status);
    }
    static int open(const char* path, int flags) { return ++opens, ::open(path, flags); }
    static int ioctl(int, unsigned long, void*) { return QTest::qFail("ioctl", __FILE__, __LINE__), 0; }
};

// Root's part of direct I/O, recorded: ioperm as {from, count, on}, outb as {address, value}.
struct FakeRawIo {
    static inline QList<QList<unsigned long>> calls;
    static inline int permissionError = 0;
    static inline QList<pid_t> permissionThreads; // the thread of each ioperm
    static int ioperm(unsigned long from, unsigned long count, int on) {
        calls.append({from, count, static_cast<unsigned long>(on)});
        permissionThreads.append(gettid());
        errno = permissionError;
        return permissionError ? -1 : 0;
    }
    static void outb(unsigned char value, unsigned short address) { calls.append({address, value}); }
};

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
    void refusesWhatIsNotAPort_data();
    void refusesWhatIsNotAPort();
    void missingFirstPortIsNotWrittenDirectly();
    void directIo_data();
    void directIo();
    void sequencerCarriesOnAndRetries();
    void directIoGivenBackOnThePlayingThread();

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
    QCOMPARE(kernel.openFlags & O_NOCTTY, O_NOCTTY);
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

void PpdevTest::refusesWhatIsNotAPort_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("swapped");
    QTest::addColumn<QString>("fragment");
    const QString notAPort = QStringLiteral("nem párhuzamos port");
    QTest::newRow("regular file") << QCoreApplication::applicationFilePath() << false << notAPort;
    QTest::newRow("through ..") << "/dev/../etc/passwd" << false << notAPort;
    QTest::newRow("another driver's device") << "/dev/null" << false << notAPort;
    QTest::newRow("directory") << "/dev" << false << notAPort;
    QTest::newRow("missing") << "/dev/parport-missing" << false << "modprobe ppdev";
    QTest::newRow("swapped after the check") << "/dev/null" << true << notAPort;
}

void PpdevTest::refusesWhatIsNotAPort() {
    QFETCH(QString, path);
    QFETCH(bool, swapped);
    QFETCH(QString, fragment);
    RealNodes::opens = 0;
    RealNodes::swapped = swapped;
    PpdevPort port(path, {RealNodes::stat, RealNodes::open, ::fstat, RealNodes::ioctl, ::close});
    QVERIFY(!port.portOut(888, 0));
    QVERIFY2(port.errorMessage().contains(fragment) && port.errorMessage().contains(path),
             qPrintable(port.errorMessage()));
    QCOMPARE(RealNodes::opens, swapped ? 1 : 0); // refused before the open when it can be
}

// Without the ppdev device the first port is reported missing, never written blind on 0x378.
void PpdevTest::missingFirstPortIsNotWrittenDirectly() {
    if (QFileInfo::exists(QStringLiteral("/dev/parport0")))
        QSKIP("this machine has /dev/parport0");
    SystemPort port;
    QVERIFY(!port.portOut(888, 0));
    QVERIFY(port.errorMessage().contains(QStringLiteral("/dev/parport0")));
    QVERIFY(!port.errorMessage().contains(QStringLiteral("0x378")));
}

void PpdevTest::directIo_data() {
    QTest::addColumn<QByteArray>("ioports");
    QTest::addColumn<int>("permissionError");
    QTest::addColumn<QString>("fragment"); // empty: the port is written
    const QByteArray pc = "0000-0cf7 : PCI Bus 0000:00\n  0000-001f : dma1\n  0378-037a : parport0\n"
                          "  03c0-03df : vga+\n  0778-077a : parport0\n";
    QTest::newRow("port there") << pc << 0 << QString();
    QTest::newRow("no parport0") << QByteArray("  03c0-03df : vga+\n") << 0 << "nincs párhuzamos port";
    QTest::newRow("parport0 elsewhere")
        << QByteArray("  0278-027a : parport0\n") << 0 << "nincs párhuzamos port";
    QTest::newRow("another claimant") << pc + "    0379-0379 : wdt\n" << 0 << "más is használja (wdt)";
    QTest::newRow("addresses hidden from non-root")
        << QByteArray("0000-0000 : parport0\n") << 0 << "csak a root";
    QTest::newRow("no /proc/ioports") << QByteArray() << 0 << "nem olvasható";
    QTest::newRow("permission refused") << pc << EPERM << "nem engedte";
}

void PpdevTest::directIo() {
    QFETCH(QByteArray, ioports);
    QFETCH(int, permissionError);
    QFETCH(QString, fragment);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("ioports")));
    QVERIFY(ioports.isEmpty() || (file.open(QIODevice::WriteOnly) && file.write(ioports) && file.flush()));
    FakeRawIo::calls.clear();
    FakeRawIo::permissionError = permissionError;
    auto port =
        std::make_unique<DirectIoPort>(DirectIoCalls{FakeRawIo::ioperm, FakeRawIo::outb, file.fileName()});
    const bool written = port->portOut(888, 0x5A) && port->portOut(890, 203);
    QVERIFY2(port->errorMessage().contains(fragment) && written == fragment.isEmpty(),
             qPrintable(port->errorMessage()));
    port.reset();
    if (written) // permission, the two bytes, and the permission given back when the output closes
        QCOMPARE(FakeRawIo::calls,
                 (QList<QList<unsigned long>>{{888, 3, 1}, {888, 0x5A}, {890, 203}, {888, 3, 0}}));
    else // the range is checked before the permission is even asked for
        QCOMPARE(FakeRawIo::calls.size(), permissionError ? 1 : 0);
}

// The kernel keeps the permission per thread, and the window's router destroys a port it leaves on
// a thread of its own: the playing thread must give it back when another output takes over.
void PpdevTest::directIoGivenBackOnThePlayingThread() {
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("ioports")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("  0378-037a : parport0\n") && file.flush());
    FakeRawIo::calls.clear();
    FakeRawIo::permissionThreads.clear();
    FakeRawIo::permissionError = 0;
    OutputRouter router(OutputChoice(), std::make_unique<DirectIoPort>(DirectIoCalls{
                                            FakeRawIo::ioperm, FakeRawIo::outb, file.fileName()}));
    pid_t playing = 0;
    std::thread([&] {
        playing = gettid();
        router.retry(); // START
        QVERIFY(router.portOut(888, 1) && router.portOut(890, 2));
        router.choose(OutputChoice(), std::make_unique<RecordingPort>());
        router.retry(); // the next START takes up the new choice
    }).join();
    QCOMPARE(FakeRawIo::calls.last(), (QList<unsigned long>{888, 3, 0}));
    QCOMPARE(FakeRawIo::permissionThreads, (QList<pid_t>{playing, playing}));
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
