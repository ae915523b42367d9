#include "ChildProcesses.h"
#include "FakeStepPattern.h"
#include "OlaTestServer.h"

#include "SequencerRig.h"
#include "output/ListOutputs.h"
#include "output/Module1.h"
#include "output/OutputChoice.h"
#include "output/ola/OlaDevices.h"
#include "output/ola/OlaDmxPort.h"
#include "sequencer/Sequencer.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

#include <thread>

#include <QDir>
#include <sched.h>
#include <sys/resource.h>

using namespace std::chrono_literals;
using Dmx = std::array<std::uint8_t, 512>;

namespace {

// The slots of the last frame read back, all 0 before any.
Dmx lastFrame(OlaFrameReader& reader) {
    const auto frames = reader.frames();
    return frames.empty() ? Dmx{} : frames.back().dmx;
}

// The frame a row of "x"/"0" boxes must give.
Dmx expected(const QString& row, int address, int level) {
    Dmx frame{};
    for (int k = 0; k < 12; ++k)
        frame[address - 1 + k] = row[k] == QLatin1Char('x') ? std::uint8_t(level) : 0;
    return frame;
}

// By default the Dummy device's port is patched to the universe, so that it reaches a device.
struct Show : SequencerRig<OlaDmxPort> {
    Show(unsigned universe, int address, int level, int olaPort,
         const QString& patch = QStringLiteral("1-1:0"))
        : SequencerRig(int(universe), address, level, olaPort, patch) {}
};

// This process's TCP connections to port (not those in TIME_WAIT, already given up by both ends).
int connectionsTo(int port) {
    QFile table(QStringLiteral("/proc/self/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return -1;
    int count = 0;
    const QByteArray remote = ':' + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray& line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 3 && fields[2].endsWith(remote) && fields[3] != "06")
            ++count;
    }
    return count;
}

// The universe olad has the Dummy device's port patched to, if any.
std::optional<unsigned> dummyUniverse(int olaPort) {
    OlaDevices olad(olaPort);
    const auto devices = olad.devices();
    const OlaDevices::Device* dummy = devices ? OlaDevices::find(*devices, QStringLiteral("1-1")) : nullptr;
    return dummy && !dummy->outputs.empty() ? dummy->outputs.front().universe : std::nullopt;
}

} // namespace

class OlaOutputTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void playedStepFrames_data();
    void playedStepFrames();
    void laterStartKeepsControlChannels();
    void lastFrameRepeatedEverySecond();
    void oladLostAndBack();
    void stalledOladDoesNotDelayTicks();
    void listing_data();
    void listing();
    void patchOption_data();
    void patchOption();
    void noDeviceReportedOnceAndCleared();
    void stalledOladReported();
    void senderAtNormalPriority();
    void longStallKeepsOneConnection();

private:
    OlaTestServer m_olad{{QStringLiteral("dummy")}};
    unsigned m_universe = 7;
};

void OlaOutputTest::initTestCase() {
    SKIP_WITHOUT_CHILD_PROCESSES(); // olad
    QVERIFY2(m_olad.start(), "olad did not start");
}

void OlaOutputTest::playedStepFrames_data() {
    QTest::addColumn<QString>("row");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("level");
    QTest::newRow("channels 1, 8, 10") << "x000000x0x00" << 5 << 200;
    QTest::newRow("channel 9 (inverted C3)") << "00000000x000" << 1 << 255;
    QTest::newRow("channel 11 (inverted C1)") << "0000000000x0" << 100 << 17;
    QTest::newRow("channel 12 (inverted C0)") << "00000000000x" << 2 << 1;
    QTest::newRow("all, last address") << "xxxxxxxxxxxx" << 501 << 254;
    QTest::newRow("none") << "000000000000" << 30 << 255;
}

void OlaOutputTest::playedStepFrames() {
    QFETCH(QString, row);
    QFETCH(int, address);
    QFETCH(int, level);
    const unsigned universe = ++m_universe;
    OlaFrameReader reader;
    QVERIFY(reader.open(m_olad.port(), universe));
    Show show(universe, address, level, m_olad.port());
    show.boxes.setRow(1, row);
    show.boxes.enableOnly({1});

    show.sequencer.startStop(); // first START: every slot 0
    auto frames = reader.waitForFrames(1);
    QVERIFY(!frames.empty());
    QCOMPARE(frames.back().dmx, Dmx{});
    show.sequencer.tick();
    const auto played = expected(row, address, level);
    KTR_TICK_UNTIL(show.sequencer, lastFrame(reader) == played);
    QVERIFY(!show.port.failing());
}

void OlaOutputTest::laterStartKeepsControlChannels() {
    const unsigned universe = ++m_universe;
    OlaFrameReader reader;
    QVERIFY(reader.open(m_olad.port(), universe));
    Show show(universe, 20, 128, m_olad.port());
    show.boxes.setRow(1, QStringLiteral("x0x0x0x0x0xx"));
    show.boxes.enableOnly({1});
    show.sequencer.startStop();
    QVERIFY(!reader.waitForFrames(1).empty());
    KTR_TICK_UNTIL(show.sequencer, lastFrame(reader) == expected(QStringLiteral("x0x0x0x0x0xx"), 20, 128));
    show.sequencer.startStop(); // STOP sends nothing
    show.sequencer.startStop(); // START: data 0, control as it was
    const Dmx restarted = expected(QStringLiteral("00000000x0xx"), 20, 128);
    QTRY_COMPARE_WITH_TIMEOUT(lastFrame(reader), restarted, 10000);
}

void OlaOutputTest::lastFrameRepeatedEverySecond() {
    const unsigned universe = ++m_universe;
    OlaFrameReader reader;
    QVERIFY(reader.open(m_olad.port(), universe));
    Show show(universe, 1, 255, m_olad.port());
    show.boxes.setRow(1, QStringLiteral("x00000000000"));
    show.boxes.enableOnly({1});
    show.sequencer.startStop();
    KTR_TICK_UNTIL(show.sequencer, lastFrame(reader)[0] == 255);
    show.sequencer.startStop(); // stopped: the frame is still repeated
    const std::size_t before = reader.frames().size();
    const auto frames = reader.waitForFrames(before + 3, 6s);
    QVERIFY(frames.size() >= before + 3);
    for (std::size_t i = before; i < frames.size(); ++i) {
        QCOMPARE(frames[i].dmx, expected(QStringLiteral("x00000000000"), 1, 255));
        QVERIFY(frames[i].arrived - frames[i - 1].arrived < 1500ms);
    }
}

void OlaOutputTest::oladLostAndBack() {
    OlaTestServer olad({QStringLiteral("dummy")});
    QVERIFY(olad.start());
    auto reader = std::make_unique<OlaFrameReader>();
    QVERIFY(reader->open(olad.port(), 1));
    Show show(1, 1, 255, olad.port());
    QSignalSpy failures(&show.sequencer, &Sequencer::portFailed);
    show.boxes.setRow(1, QStringLiteral("x00000000000"));
    show.boxes.setRow(2, QStringLiteral("0x0000000000"));
    show.boxes.enableOnly({1, 2});
    show.sequencer.startStop();
    QVERIFY(!reader->waitForFrames(1).empty());

    reader.reset();
    olad.kill();
    KTR_TICK_UNTIL(show.sequencer, failures.size() == 1);
    QVERIFY(failures.first().first().toString().contains(QStringLiteral("olad")));
    QVERIFY(show.port.failing());
    const qsizetype linesBefore = show.boxes.monitorLines.size();
    for (int i = 0; i < 50; ++i)
        show.sequencer.tick();
    QCOMPARE(failures.size(), 1);                               // told once
    QCOMPARE(show.boxes.monitorLines.size(), linesBefore + 50); // playback goes on on screen

    QVERIFY(olad.start());
    reader = std::make_unique<OlaFrameReader>();
    QVERIFY(reader->open(olad.port(), 1));
    // No START: the output comes back by itself with the current steps.
    KTR_TICK_UNTIL(show.sequencer, lastFrame(*reader)[0] == 255 || lastFrame(*reader)[1] == 255);
    QVERIFY(!show.port.failing());
    QCOMPARE(failures.size(), 1);
}

void OlaOutputTest::stalledOladDoesNotDelayTicks() {
    OlaTestServer olad({QStringLiteral("dummy")});
    QVERIFY(olad.start());
    OlaFrameReader reader;
    QVERIFY(reader.open(olad.port(), 1));
    Show show(1, 1, 255, olad.port());
    for (int step = 1; step <= StepCount; ++step)
        show.boxes.setRow(step, step % 2 ? QStringLiteral("xxxxxxxxxxxx") : QStringLiteral("x0x0x0x0x0x0"));
    show.boxes.enableOnly({1, 2, 3, 4});
    show.sequencer.startStop();
    QVERIFY(!reader.waitForFrames(1).empty());

    olad.pause();
    // Enough frames to fill the connection's buffers many times over.
    qint64 slowest = 0;
    QElapsedTimer total;
    total.start();
    for (int i = 0; i < 20000; ++i) {
        QElapsedTimer one;
        one.start();
        show.sequencer.tick();
        slowest = std::max(slowest, one.nsecsElapsed());
        if (i % 100 == 0)
            std::this_thread::sleep_for(1ms); // let the sender run into the stall
    }
    olad.resume();
    qInfo("slowest tick with olad stopped: %lld us, 20000 ticks in %lld ms", slowest / 1000, total.elapsed());
    QVERIFY(slowest < 50'000'000); // generous: a blocked tick would never return at all
}

void OlaOutputTest::listing_data() {
    QTest::addColumn<bool>("running");
    QTest::newRow("olad with the Dummy device") << true;
    QTest::newRow("olad unreachable") << false;
}

void OlaOutputTest::listing() {
    QFETCH(bool, running);
    OlaTestServer olad({QStringLiteral("dummy")});
    if (running)
        QVERIFY(olad.start());
    OutputChoice choice;
    choice.settings[QStringLiteral("universe")] = QStringLiteral("4");
    choice.settings[QStringLiteral("olaPort")] = QString::number(olad.port());
    QStringList problems;
    const QString listed = listOutputs(choice, &problems);
    const QString reported =
        problems.isEmpty() ? QString() : problems.join(QLatin1Char('\n')) + QLatin1Char('\n');
    QVERIFY(listed.contains(QStringLiteral("--output screen\t")));
    const QString dummy = QStringLiteral("--output ola:4 --ola-patch 1-1:0 --ola-port %1\t"
                                         "DMX (OLA): Dummy Device, Dummy Port (szabad)\n")
                              .arg(olad.port());
    QCOMPARE(listed.contains(dummy), running);
    QCOMPARE(reported.count(QLatin1Char('\n')), running ? 0 : 1);
    QCOMPARE(reported.contains(QStringLiteral("olad")), !running);
}

void OlaOutputTest::patchOption_data() {
    QTest::addColumn<QString>("patch");
    QTest::addColumn<bool>("exists");
    QTest::newRow("device id") << "1-1:0" << true;
    QTest::newRow("device number") << "1:0" << true;
    QTest::newRow("missing device") << "9-9:0" << false;
    QTest::newRow("missing port") << "1-1:3" << false;
}

void OlaOutputTest::patchOption() {
    QFETCH(QString, patch);
    QFETCH(bool, exists);
    const unsigned universe = ++m_universe;
    Show show(universe, 1, 255, m_olad.port(), patch);
    QSignalSpy failures(&show.sequencer, &Sequencer::portFailed);
    show.boxes.setRow(1, QStringLiteral("x00000000000"));
    show.boxes.enableOnly({1});
    show.sequencer.startStop();
    if (exists) {
        KTR_TICK_UNTIL(show.sequencer, dummyUniverse(m_olad.port()) == universe);
        KTR_TICK_UNTIL(show.sequencer, !show.port.failing());
        QCOMPARE(failures.size(), 0);
        return;
    }
    KTR_TICK_UNTIL(show.sequencer, failures.size() == 1);
    const QString message = failures.first().first().toString();
    QVERIFY2(message.contains(QStringLiteral("„%1”").arg(patch.section(QLatin1Char(':'), 0, 0))),
             qPrintable(message));
    QVERIFY(message.contains(QStringLiteral("%1. univerzum").arg(universe)));
    QVERIFY(show.port.failing());
    QVERIFY(dummyUniverse(m_olad.port()) != universe);
}

void OlaOutputTest::noDeviceReportedOnceAndCleared() {
    OlaTestServer olad({QStringLiteral("dummy")});
    QVERIFY(olad.start());
    Show show(3, 1, 255, olad.port(), QString());
    QSignalSpy failures(&show.sequencer, &Sequencer::portFailed);
    show.boxes.setRow(1, QStringLiteral("x00000000000"));
    show.boxes.enableOnly({1});
    show.sequencer.startStop();
    KTR_TICK_UNTIL(show.sequencer, failures.size() == 1);
    const QString message = failures.first().first().toString();
    QVERIFY(message.contains(QStringLiteral("3. univerzum")));
    QVERIFY(message.contains(QStringLiteral("DMX (OLA)")) && message.contains(QStringLiteral("--ola-patch")));
    QVERIFY(show.port.reachesNoDevice());
    for (int i = 0; i < 50; ++i)
        show.sequencer.tick();
    QCOMPARE(failures.size(), 1);

    OlaFrameReader reader;
    QVERIFY(reader.open(olad.port(), 3));
    OlaDevices other(olad.port()); // as olad's web page or ola_patch would
    QVERIFY(other.patch(1, 0, 3));
    KTR_TICK_UNTIL(show.sequencer, !show.port.failing());
    KTR_TICK_UNTIL(show.sequencer, lastFrame(reader)[0] == 255);
    QCOMPARE(failures.size(), 1);
}

void OlaOutputTest::stalledOladReported() {
    OlaTestServer olad({QStringLiteral("dummy")});
    QVERIFY(olad.start());
    Show show(1, 1, 255, olad.port());
    QSignalSpy failures(&show.sequencer, &Sequencer::portFailed);
    show.boxes.setRow(1, QStringLiteral("x00000000000"));
    show.boxes.enableOnly({1});
    show.sequencer.startStop();
    KTR_TICK_UNTIL(show.sequencer, dummyUniverse(olad.port()) == 1u);
    QVERIFY(!show.port.failing());

    olad.pause(); // accepts connections (the kernel does), reads nothing
    QElapsedTimer stalled;
    stalled.start();
    KTR_TICK_UNTIL_WITH_TIMEOUT(show.sequencer, failures.size() == 1, 8000);
    qInfo("stalled olad reported after %lld ms", stalled.elapsed());
    QVERIFY(failures.first().first().toString().contains(QStringLiteral("nem válaszol")));
    QVERIFY(show.port.failing() && !show.port.reachesNoDevice());
    olad.resume();
    KTR_TICK_UNTIL(show.sequencer, !show.port.failing());
}

// The sender is started by the first write, on the playback thread; a policy of that thread
// (SCHED_BATCH here, which needs no privilege; SCHED_FIFO in the program) must not carry over.
void OlaOutputTest::senderAtNormalPriority() {
    std::vector<int> senders; // their tids
    std::thread playback([&] {
        const sched_param zero{};
        pthread_setschedparam(pthread_self(), SCHED_BATCH, &zero);
        OlaDmxPort port(1, 1, 255, m_olad.port());
        port.portOut(Port::ControlAddress, 0);
        for (int i = 0; i < 250 && senders.empty(); ++i, std::this_thread::sleep_for(20ms)) {
            const QDir tasks(QStringLiteral("/proc/self/task"));
            for (const QString& tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
                QFile comm(tasks.filePath(tid + QStringLiteral("/comm")));
                if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "ktr-dmx")
                    senders.push_back(tid.toInt()); // checked while the port lives
            }
        }
        for (const int tid : senders)
            QVERIFY(sched_getscheduler(tid) == SCHED_OTHER && getpriority(PRIO_PROCESS, id_t(tid)) == 5);
    });
    playback.join();
    QVERIFY(!senders.empty());
}

// olad stopped for longer than a whole reconnect cycle (answer time-out, back-off, connect
// time-out), then continued: the sender waits on the one connection it has instead of leaving
// olad a queue of new ones to work through, and plays on as soon as olad answers.
void OlaOutputTest::longStallKeepsOneConnection() {
    OlaTestServer olad({QStringLiteral("dummy")});
    QVERIFY(olad.start());
    OlaFrameReader reader;
    QVERIFY(reader.open(olad.port(), 1));
    Show show(1, 1, 255, olad.port());
    QSignalSpy failures(&show.sequencer, &Sequencer::portFailed);
    show.boxes.setRow(1, QStringLiteral("x00000000000"));
    show.boxes.setRow(2, QStringLiteral("0x0000000000"));
    show.boxes.enableOnly({1, 2});
    show.sequencer.startStop();
    KTR_TICK_UNTIL(show.sequencer, lastFrame(reader)[0] == 255 && !show.port.failing());
    const int connections = connectionsTo(olad.port()); // the sender's and the reader's

    olad.pause();
    QElapsedTimer stalled;
    stalled.start();
    KTR_TICK_UNTIL_WITH_TIMEOUT(show.sequencer, stalled.elapsed() > 7000, 10000);
    QVERIFY(show.port.failing());
    QCOMPARE(connectionsTo(olad.port()), connections);

    olad.resume();
    QElapsedTimer continued;
    continued.start();
    KTR_TICK_UNTIL(show.sequencer, !show.port.failing());
    const qint64 answered = continued.elapsed();
    const auto back = OlaFrameReader::Clock::now();
    KTR_TICK_UNTIL(show.sequencer, reader.frames().back().arrived > back);
    qInfo("after a 7 s stall: olad's answer %lld ms after it continued, the next frame %lld ms after that",
          answered,
          (long long)std::chrono::duration_cast<std::chrono::milliseconds>(reader.frames().back().arrived -
                                                                           back)
              .count());
    QCOMPARE(failures.size(), 1);
}

QTEST_GUILESS_MAIN(OlaOutputTest)
#include "tst_olaoutput.moc"
