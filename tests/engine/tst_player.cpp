#include "ChildProcesses.h"
#ifdef KTR_WITH_OLA
#include "OlaTestServer.h"
#endif
#include "NumberedEffect.h"
#include "RecordingPort.h"
#include "player/HeadlessPlayer.h"
#include "player/PlayerFile.h"
#include "player/PlayerMain.h"
#include "player/PlayerStatus.h"
#include "player/SignalWatcher.h"

#include <QBuffer>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using Writes = QList<RecordingPort::Write>;

QByteArray effectFile(const QList<int>& enabled, const QByteArray& speed) {
    return numberedEffect(enabled, speed);
}

// The two writes of a played step: its number on the data register, channels 9..12 off.
Writes played(const QList<int>& steps) {
    Writes writes;
    for (int step : steps) {
        if (step > 0)
            writes << RecordingPort::Write{888, quint8(step)} << RecordingPort::Write{890, 203};
    }
    return writes;
}

const Writes StartWrites{{888, 0}, {890, 203}};

// For runPlayer, which writes from its playback thread while the test watches.
class CountingPort : public Port {
public:
    qsizetype count() const { return m_count; }

protected:
    bool write(int, quint8) override {
        ++m_count;
        return true;
    }

private:
    std::atomic<qsizetype> m_count{0};
};

struct Rig {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("show.eff"));
    QBuffer out;
    QBuffer err;
    RecordingPort port;
    PlayerStatus status{out, err, false};

    Rig() {
        out.open(QIODevice::ReadWrite);
        err.open(QIODevice::ReadWrite);
    }
    void write(const QByteArray& bytes) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    Effect read() {
        QString error;
        const std::optional<Effect> effect = readEffectFile(path, error);
        return effect.value_or(Effect());
    }
};

} // namespace

class PlayerTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { SignalWatcher::blockPlayerSignals(); }
    void playsLikeTheWindow_data();
    void playsLikeTheWindow();
    void badFileWritesNothing_data();
    void badFileWritesNothing();
    void signalStopsAndWritesNothingMore_data();
    void signalStopsAndWritesNothingMore();
    void reload_data();
    void reload();
    void failedOutputIsRetriedAndReportedOnce_data();
    void failedOutputIsRetriedAndReportedOnce();
    void liveStatusLine();
    void realProgramWithoutDisplay_data();
    void realProgramWithoutDisplay();
    void realProgramPlaysToDmx();
    void earlySignalNeverEndsTheShow_data();
    void earlySignalNeverEndsTheShow();
    void tellsSystemdWhenReady_data();
    void tellsSystemdWhenReady();
    void launcherRunsNoRelativePath();
};

void PlayerTest::playsLikeTheWindow_data() {
    QTest::addColumn<QByteArray>("speedLine");
    QTest::addColumn<int>("speedOption"); // 0: none
    QTest::addColumn<int>("interval");
    QTest::addColumn<bool>("speedSet"); // whether the speed bar's handler ran

    QTest::newRow("file's speed") << QByteArray("150") << 0 << 150 << true;
    QTest::newRow("file's speed equal to the start value") << QByteArray("200") << 0 << 200 << false;
    QTest::newRow("empty speed line") << QByteArray() << 0 << 200 << false;
    QTest::newRow("--speed over the file's") << QByteArray("150") << 40 << 40 << true;
}

void PlayerTest::playsLikeTheWindow() {
    QFETCH(QByteArray, speedLine);
    QFETCH(int, speedOption);
    QFETCH(int, interval);
    QFETCH(bool, speedSet);

    Rig rig;
    rig.write(effectFile({3, 7}, speedLine));
    HeadlessPlayer player(rig.port, rig.status);
    player.start(rig.read(), speedOption ? std::optional<int>(speedOption) : std::nullopt);
    QCOMPARE(player.interval(), interval);
    QCOMPARE(player.sequencer().speed.has_value(), speedSet);
    QVERIFY(player.sequencer().timer().isActive());
    QCOMPARE(rig.port.writes, StartWrites);

    const QList<int> steps{0, 3, 7, 0, 3, 7, 0, 3};
    QList<int> shown;
    for (int i = 0; i < steps.size(); ++i) {
        player.engine().tickNow();
        shown << player.pattern().playingStep();
    }
    QCOMPARE(shown, steps);
    QCOMPARE(rig.port.writes, StartWrites + played(steps));
    QCOMPARE(rig.status.monitorLine(), QStringLiteral("000000xx0000"));
}

void PlayerTest::badFileWritesNothing_data() {
    QTest::addColumn<QByteArray>("bytes"); // empty: no file at all
    QTest::addColumn<QString>("message");

    QTest::newRow("missing") << QByteArray() << QStringLiteral("A fájl nem létezik.");
    QTest::newRow("too few lines") << QByteArray("x00\r\n") << QStringLiteral("2. sor: hiányzik");
    QTest::newRow("speed out of range") << effectFile({1}, "900") << QStringLiteral("23. sor");
    QTest::newRow("LF CR line ends") << effectFile({1}, "100").replace("\r\n", "\n\r")
                                     << QStringLiteral("1. sor: LF CR");
    QTest::newRow("UTF-16") << QByteArray("\xFE\xFF\0x\0\r\0\n") << QStringLiteral("UTF-16 (big-endian)");
}

void PlayerTest::badFileWritesNothing() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);

    Rig rig;
    if (!bytes.isEmpty())
        rig.write(bytes);
    PlayerOptions options;
    options.file = rig.path;
    CountingPort port;
    QCOMPARE(runPlayer(options, port, QStringLiteral("teszt"), rig.status), 1);
    QVERIFY2(QString::fromUtf8(rig.err.data()).contains(message), rig.err.data());
    QCOMPARE(port.count(), 0);
    QVERIFY(rig.out.data().isEmpty());
}

void PlayerTest::signalStopsAndWritesNothingMore_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
}

void PlayerTest::signalStopsAndWritesNothingMore() {
    QFETCH(int, signal);

    Rig rig;
    rig.write(effectFile({1, 2}, "2"));
    PlayerOptions options;
    options.file = rig.path;
    CountingPort port;
    qsizetype writesAtSignal = -1;
    // Let a few ticks play, then signal.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
        if (port.count() < 8 || writesAtSignal >= 0)
            return;
        writesAtSignal = port.count();
        raise(signal);
    });
    poll.start(0);
    QCOMPARE(runPlayer(options, port, QStringLiteral("teszt"), rig.status), 0);
    QVERIFY(writesAtSignal > 2);
    // The playback thread plays on until the signal has been read (a step or so at 2 ms); once
    // the player has returned, nothing more.
    const qsizetype atEnd = port.count();
    QTest::qWait(20);
    QCOMPARE(port.count(), atEnd);
    const QStringList lines = QString::fromUtf8(rig.out.data()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2); // no live line when not on a terminal
    QVERIFY(lines.first().startsWith(QStringLiteral("Lejátszás: „%1”, sebesség: 2 ms").arg(rig.path)));
    QCOMPARE(lines.last(), QStringLiteral("Lejátszás vége."));
    QVERIFY(rig.err.data().isEmpty());
}

void PlayerTest::reload_data() {
    QTest::addColumn<QByteArray>("newFile");
    QTest::addColumn<QByteArray>("writtenMeanwhile"); // appended while the player reads; "…": always more
    QTest::addColumn<QList<int>>("stepsAfter");
    QTest::addColumn<int>("intervalAfter");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("refusal"); // how the message of a refused file begins

    const QString bad = QStringLiteral("Hibás effektfájl");
    const QByteArray good = effectFile({7, 9}, "100");
    const QByteArray none;
    const QList<int> next{7, 9, 0, 7};
    QTest::newRow("good file, same speed") << good << none << next << 100 << true << QString();
    QTest::newRow("good file, new speed")
        << effectFile({7, 9}, "300") << none << next << 300 << true << QString();
    QTest::newRow("good file, no speed")
        << effectFile({7, 9}, "") << none << next << 100 << true << QString();
    const QList<int> old{7, 0, 3, 7};
    QTest::newRow("bad file") << QByteArray("garbage") << none << old << 100 << false << bad;
    // A file the start would play plays at a reload too.
    QTest::newRow("last line without its end") << good.chopped(2) << none << next << 100 << true << QString();
    QTest::newRow("short enable line") << good.left(good.size() - 12) + "\r\n"
                                       << none << next << 100 << true << QString();
    QTest::newRow("UTF-8 byte-order mark")
        << "\xEF\xBB\xBF" + good << none << next << 100 << true << QString();
    QTest::newRow("LF CR line ends") << QByteArray(good).replace("\r\n", "\n\r") << none << old << 100
                                     << false << bad;
    // Caught while being rewritten (cat new.eff > show.eff): the rest arrives while it is read.
    QTest::newRow("cut short (head -c 320), then finished")
        << good.left(320) << good.mid(320) << next << 100 << true << QString();
    QTest::newRow("still being written") << good.left(320) << QByteArray("…") << old << 100 << false
                                         << QStringLiteral("Nem sikerült beolvasni");
    // Swapped for a pipe: refused at once, not waited on.
    QTest::newRow("a FIFO") << QByteArray("FIFO") << none << old << 100 << false
                            << QStringLiteral("Nem sikerült megnyitni");
}

void PlayerTest::reload() {
    QFETCH(QByteArray, newFile);
    QFETCH(QByteArray, writtenMeanwhile);
    QFETCH(QList<int>, stepsAfter);
    QFETCH(int, intervalAfter);
    QFETCH(bool, accepted);
    QFETCH(QString, refusal);

    Rig rig;
    rig.write(effectFile({3, 7}, "100"));
    HeadlessPlayer player(rig.port, rig.status);
    player.start(rig.read());
    player.engine().tickNow();
    player.engine().tickNow(); // played 3, the walk stands just before 7
    if (newFile == "FIFO")
        QVERIFY(QFile::remove(rig.path) && mkfifo(QFile::encodeName(rig.path).constData(), 0600) == 0);
    else
        rig.write(newFile);
    int pauses = 0;
    player.setReadPause([&] {
        QFile file(rig.path);
        if ((pauses++ == 0 || writtenMeanwhile == "…") && !writtenMeanwhile.isEmpty() &&
            file.open(QIODevice::Append))
            file.write(writtenMeanwhile == "…" ? QByteArray("0") : writtenMeanwhile);
    });
    QCOMPARE(player.reload(rig.path), accepted);
    QCOMPARE(int(player.sequencer().currentStep), 6);
    QCOMPARE(player.interval(), intervalAfter);
    QCOMPARE(player.sequencer().running, qint16(1));

    rig.port.writes.clear();
    for (int i = 0; i < stepsAfter.size(); ++i)
        player.engine().tickNow();
    QCOMPARE(rig.port.writes, played(stepsAfter));
    const QString err = QString::fromUtf8(rig.err.data());
    if (accepted) {
        QVERIFY2(err.isEmpty(), qPrintable(err));
        QVERIFY(QString::fromUtf8(rig.out.data()).contains(QStringLiteral("Újraolvasva:")));
    } else {
        QVERIFY2(err.startsWith(refusal), qPrintable(err));
        QVERIFY(err.endsWith(QStringLiteral("Az eddigi effekt fut tovább.\n")));
    }
}

void PlayerTest::failedOutputIsRetriedAndReportedOnce_data() {
    QTest::addColumn<bool>("latching");
    QTest::newRow("latches its failures (parallel port)") << true;
    QTest::newRow("comes back by itself (DMX)") << false;
}

void PlayerTest::failedOutputIsRetriedAndReportedOnce() {
    QFETCH(bool, latching);
    Rig rig;
    rig.write(effectFile({1}, "100"));
    rig.port.setLatching(latching);
    HeadlessPlayer player(rig.port, rig.status);
    rig.port.setFault(QStringLiteral("nincs eszköz"));
    player.start(rig.read());
    player.engine().tickNow();
    player.retryOutput();
    player.engine().tickNow();
    player.retryOutput();
    const auto told = [&rig](const char* text) {
        return QString::fromUtf8(rig.err.data()).count(QString::fromUtf8(text));
    };
    QCOMPARE(told("nincs eszköz"), 1);
    QCOMPARE(rig.port.retries, latching ? 2 : 0); // one that comes back by itself is left to do so
    QVERIFY(rig.status.liveText().endsWith(QStringLiteral("[kimenet nem elérhető]")));
    // Still down, for another reason: that one is told too.
    rig.port.setFault(QStringLiteral("más ok"));
    player.engine().tickNow();
    player.retryOutput();
    QCOMPARE(told("más ok"), 1);

    rig.port.clearFault(); // the device is back
    player.retryOutput();
    player.engine().tickNow();
    QCOMPARE(rig.port.writes, played({1}));
    player.retryOutput();
    QCOMPARE(told("A kimenet újra működik."), 1);
    QVERIFY(rig.status.liveText().endsWith(QStringLiteral(" ms")));
    player.retryOutput();
    QCOMPARE(told("A kimenet újra működik."), 1);

    // The same failure again after the recovery is news again.
    rig.port.setFault(QStringLiteral("nincs eszköz"));
    player.engine().tickNow();
    player.retryOutput();
    QCOMPARE(told("nincs eszköz"), 2);
}

void PlayerTest::liveStatusLine() {
    QBuffer out;
    QBuffer err;
    out.open(QIODevice::ReadWrite);
    err.open(QIODevice::ReadWrite);
    PlayerStatus status(out, err, true);
    int step = 3;
    status.watch([&] { return step; }, [] { return 200; });
    status.setMonitorLine(QStringLiteral("00x000000000"));
    out.buffer().clear();
    out.seek(0);
    status.refresh();
    QCOMPARE(out.data(),
             QStringLiteral("\r\033[KLépés:  3   Kimenet: 00x000000000   Sebesség: 200 ms").toUtf8());
    status.refresh(); // nothing changed: nothing written
    QCOMPARE(out.data().count('\r'), 1);
    status.finish(QStringLiteral("Lejátszás vége."));
    QVERIFY(out.data().endsWith("\r\033[KLejátszás vége.\n"));
}

void PlayerTest::realProgramWithoutDisplay_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stdoutText");
    QTest::addColumn<QString>("stderrText");

    const QStringList screen{QStringLiteral("--output"), QStringLiteral("screen")};
    const QByteArray good = effectFile({1, 2, 3}, "2");
    QTest::newRow("good file, SIGTERM")
        << good << screen << 0 << QStringLiteral("Lejátszás vége.") << QString();
    QTest::newRow("bad file") << QByteArray("x\r\n") << screen << 1 << QString()
                              << QStringLiteral("Hibás effektfájl");
    QTest::newRow("speed out of range")
        << good << (screen + QStringList{QStringLiteral("--speed"), QStringLiteral("900")}) << 2 << QString()
        << QStringLiteral("--speed");
#ifdef KTR_WITH_OLA
    QTest::newRow("DMX address out of range")
        << good << QStringList{QStringLiteral("--output"), QStringLiteral("ola:1:600")} << 2 << QString()
        << QStringLiteral("DMX-cím");
#endif
    // As an unset variable in a unit gives it: never the parallel port in silence.
    QTest::newRow("empty --output") << good << QStringList{QStringLiteral("--output=")} << 2 << QString()
                                    << QStringLiteral("üres");
}

void PlayerTest::realProgramWithoutDisplay() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QString, stdoutText);
    QFETCH(QString, stderrText);
    SKIP_WITHOUT_CHILD_PROCESSES();

    Rig rig;
    rig.write(bytes);
    QProcess ktr;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    ktr.setProcessEnvironment(environment);
    ktr.start(QStringLiteral(KTR_BINARY), QStringList{QStringLiteral("--play"), rig.path} + options);
    QVERIFY(ktr.waitForStarted());
    if (exitCode == 0) {
        // Playing: the start line is out. Then stop it as systemd would.
        while (!ktr.readAllStandardOutput().contains("Lejátszás:"))
            QVERIFY(ktr.waitForReadyRead(10000));
        ktr.terminate();
    }
    QVERIFY(ktr.waitForFinished(10000));
    QCOMPARE(ktr.exitStatus(), QProcess::NormalExit);
    QCOMPARE(ktr.exitCode(), exitCode);
    QVERIFY(QString::fromUtf8(ktr.readAllStandardOutput()).contains(stdoutText));
    const QString errors = QString::fromUtf8(ktr.readAllStandardError());
    QVERIFY2(stderrText.isEmpty() ? errors.isEmpty() : errors.contains(stderrText), qPrintable(errors));
}

// The service's usual set-up: no display, DMX through an olad that is already running.
void PlayerTest::realProgramPlaysToDmx() {
#ifndef KTR_WITH_OLA
    QSKIP("built without the DMX output");
#else
    SKIP_WITHOUT_CHILD_PROCESSES();
    OlaTestServer olad;
    QVERIFY(olad.start());
    OlaFrameReader reader;
    QVERIFY(reader.open(olad.port(), 2));
    Rig rig;
    rig.write(effectFile({1, 2, 3}, "20"));
    QProcess ktr;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    ktr.setProcessEnvironment(environment);
    ktr.start(QStringLiteral(KTR_BINARY),
              {QStringLiteral("--play"), rig.path, QStringLiteral("--output"), QStringLiteral("ola:2:10"),
               QStringLiteral("--ola-port"), QString::number(olad.port())});
    QVERIFY(ktr.waitForStarted());

    // Steps 1, 2 and 3 light channel 8, channel 7, and both: slots 17 and 16 from address 10.
    QSet<int> seen;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    const auto allSeen = [&seen] { return seen.contains(1) && seen.contains(2) && seen.contains(3); };
    while (!allSeen() && std::chrono::steady_clock::now() < deadline) {
        for (const OlaFrameReader::Frame& frame : reader.waitForFrames(reader.frames().size() + 1)) {
            for (int slot = 0; slot < 512; ++slot) {
                if (slot != 15 && slot != 16)
                    QCOMPARE(int(frame.dmx[slot]), 0);
            }
            seen.insert((frame.dmx[15] == 255 ? 2 : 0) + (frame.dmx[16] == 255 ? 1 : 0));
        }
    }
    QVERIFY(allSeen());
    ktr.terminate();
    QVERIFY(ktr.waitForFinished(10000));
    QCOMPARE(ktr.exitCode(), 0);
    // This olad has no device at all: the frames above went nowhere, and the player said so, with a
    // remedy for its own command line rather than the window's menu.
    const QString errors = QString::fromLocal8Bit(ktr.readAllStandardError());
    QCOMPARE(errors.count(QStringLiteral("2. univerzum")), 1);
    QVERIFY2(errors.contains(QStringLiteral("--ola-patch")) && !errors.contains(QStringLiteral("menü")),
             qPrintable(errors));
#endif
}

namespace {

QProcessEnvironment withoutDisplay() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    return environment;
}

// Whether process pid has blocked SIGHUP, or runs the player program already.
bool handingOver(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    const QByteArray text = status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray();
    const qsizetype blocked = text.indexOf("SigBlk:");
    return (blocked >= 0 &&
            text.mid(blocked + 7, 17).trimmed().toULongLong(nullptr, 16) & (1 << (SIGHUP - 1))) ||
           QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid)).endsWith(QLatin1String("/ktr-play"));
}

} // namespace

void PlayerTest::earlySignalNeverEndsTheShow_data() {
    QTest::addColumn<int>("signal");
    QTest::addColumn<QString>("afterwards"); // what the player says once it reads the signal
    QTest::newRow("SIGHUP") << int(SIGHUP) << QStringLiteral("Újraolvasva:");
    QTest::newRow("SIGTERM") << int(SIGTERM) << QStringLiteral("Lejátszás vége.");
    QTest::newRow("SIGINT") << int(SIGINT) << QStringLiteral("Lejátszás vége.");
}

// "systemctl reload" right after the start: the signal comes while the window program hands
// over to the player, long before the player watches its signals. It is sent the moment the
// launcher has blocked it, or else as soon as the player program runs, and again until the
// player is up.
void PlayerTest::earlySignalNeverEndsTheShow() {
    QFETCH(int, signal);
    QFETCH(QString, afterwards);
    SKIP_WITHOUT_CHILD_PROCESSES();

    Rig rig;
    rig.write(effectFile({1, 2, 3}, "20"));
    QProcess ktr;
    ktr.setProcessEnvironment(withoutDisplay());
    // As systemd or a shell starts it: nothing blocked (this test program blocks them all).
    ktr.setChildProcessModifier([] { SignalWatcher::unblockPlayerSignals(); });
    ktr.start(QStringLiteral(KTR_BINARY),
              {QStringLiteral("--play"), rig.path, QStringLiteral("--output"), QStringLiteral("screen")});
    QVERIFY(ktr.waitForStarted());
    const qint64 pid = ktr.processId();
    // A tight look at /proc rather than a QTRY wait: its 50 ms steps would miss the moment.
    while (ktr.state() == QProcess::Running && !handingOver(pid))
        QThread::usleep(200);
    QByteArray out;
    int sent = 0;
    while (ktr.state() == QProcess::Running && !out.contains("Lejátszás:")) {
        if (sent++ < 50)
            ::kill(pid_t(pid), signal);
        ktr.waitForReadyRead(2);
        out += ktr.readAllStandardOutput();
    }
    QVERIFY2(ktr.state() == QProcess::Running || ktr.exitStatus() == QProcess::NormalExit,
             qPrintable(QStringLiteral("ended by signal %1").arg(ktr.exitCode())));
    if (signal == SIGHUP) {
        while (ktr.state() == QProcess::Running && !out.contains("Újraolvasva:") &&
               ktr.waitForReadyRead(10000))
            out += ktr.readAllStandardOutput();
        ktr.terminate();
    }
    QVERIFY(ktr.waitForFinished(10000));
    out += ktr.readAllStandardOutput();
    QCOMPARE(ktr.exitStatus(), QProcess::NormalExit);
    QCOMPARE(ktr.exitCode(), 0);
    QVERIFY2(QString::fromUtf8(out).contains(afterwards), out.constData());
}

// Type=notify: READY=1 once the signals are watched, RELOADING=1 and READY=1 around a reload,
// STOPPING=1 at the end, sent by the process systemd started (NotifyAccess=main).
void PlayerTest::tellsSystemdWhenReady_data() {
    QTest::addColumn<QString>("played"); // the file given to the player
    QTest::addColumn<QString>("status");
    QTest::newRow("an effect") << "show.eff"
                               << "Lejátszás";
    QTest::newRow("a show") << "bolt.show"
                            << "Műsor";
}

void PlayerTest::tellsSystemdWhenReady() {
    QFETCH(QString, played);
    QFETCH(QString, status);
    SKIP_WITHOUT_CHILD_PROCESSES();
    Rig rig;
    rig.write(effectFile({1, 2, 3}, "20"));
    QFile show(rig.dir.filePath(QStringLiteral("bolt.show")));
    QVERIFY(show.open(QIODevice::WriteOnly) && show.write("[Playlist]\nEffect=show.eff 1m\n") > 0);
    show.close();
    const QString path = rig.dir.filePath(played);
    const QByteArray socketPath = QFile::encodeName(rig.dir.filePath(QStringLiteral("notify")));
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socketPath.constData(), size_t(socketPath.size()));
    QVERIFY(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
    const auto closing = qScopeGuard([fd] { ::close(fd); });
    QStringList messages;
    // The messages received so far (QTRY evaluates its condition once more after it holds).
    const auto received = [&] {
        char buffer[512];
        for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT)) > 0;)
            messages << QString::fromUtf8(buffer, n);
        return messages.size();
    };

    QProcess ktr;
    QProcessEnvironment environment = withoutDisplay();
    environment.insert(QStringLiteral("NOTIFY_SOCKET"), QFile::decodeName(socketPath));
    ktr.setProcessEnvironment(environment);
    ktr.start(QStringLiteral(KTR_BINARY),
              {QStringLiteral("--play"), path, QStringLiteral("--output"), QStringLiteral("screen")});
    QVERIFY(ktr.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(received() >= 1, 10000);
    QVERIFY2(messages.first().startsWith(QStringLiteral("READY=1\nSTATUS=%1: „%2”").arg(status, path)),
             qPrintable(messages.first()));
    ::kill(pid_t(ktr.processId()), SIGHUP);
    QTRY_VERIFY_WITH_TIMEOUT(received() >= 3, 10000);
    QVERIFY2(messages[1].startsWith(QStringLiteral("RELOADING=1\nMONOTONIC_USEC=")), qPrintable(messages[1]));
    QVERIFY(messages[2].startsWith(QStringLiteral("READY=1\n")));
    ktr.terminate();
    QVERIFY(ktr.waitForFinished(10000));
    QTRY_VERIFY_WITH_TIMEOUT(received() >= 4, 10000);
    QCOMPARE(messages[3], QStringLiteral("STOPPING=1"));
    QCOMPARE(ktr.exitCode(), 0);
}

// Without /proc the launcher cannot find its own folder; it must not fall back on the current
// folder, where anyone may have left a "ktr-play".
void PlayerTest::launcherRunsNoRelativePath() {
    SKIP_WITHOUT_CHILD_PROCESSES();
    Rig rig;
    rig.write(effectFile({1}, "20"));
    const QString marker = rig.dir.filePath(QStringLiteral("ran"));
    const QByteArray impostor = "#!/bin/sh\ntouch '" + QFile::encodeName(marker) + "'\n";
    // What ../libexec/ktr/ktr-play and ktr-play are, seen from the folder ktr is run in.
    QVERIFY(QDir(rig.dir.path()).mkpath(QStringLiteral("bin")) &&
            QDir(rig.dir.path()).mkpath(QStringLiteral("libexec/ktr")));
    for (const char* name : {"bin/ktr-play", "libexec/ktr/ktr-play"}) {
        QFile file(rig.dir.filePath(QLatin1String(name)));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(impostor) == impostor.size());
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    }
    QProcess ktr;
    ktr.setProcessEnvironment(withoutDisplay());
    ktr.setWorkingDirectory(rig.dir.filePath(QStringLiteral("bin")));
    // A mount namespace of its own whose /proc is an empty tmpfs (root or user namespaces).
    ktr.start(QStringLiteral("unshare"),
              {QStringLiteral("-rm"), QStringLiteral("sh"), QStringLiteral("-c"),
               QStringLiteral("mount -t tmpfs none /proc || exit 99; exec \"$0\" --play show.eff"),
               QStringLiteral(KTR_BINARY)});
    QVERIFY(ktr.waitForStarted());
    QVERIFY(ktr.waitForFinished(10000));
    if (ktr.exitCode() == 99 || (ktr.exitCode() == 1 && ktr.readAllStandardError().contains("unshare")))
        QSKIP("no mount namespace of our own here");
    QVERIFY(!QFile::exists(marker));
}

QTEST_GUILESS_MAIN(PlayerTest)
#include "tst_player.moc"
