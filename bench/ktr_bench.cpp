// Playback benchmark: builds the real main window offscreen with a port that timestamps every
// write, plays all 22 steps at several speeds, and compares the rhythm with a bare QTimer of the
// same kind. Also reports the tick handler's own cost, start-up time and peak memory, and with
// --edit (alone, a few seconds) what the editing tools and undo cost on the real boxes.
//
//   ktr_bench [--ticks-scale F] [--only INTERVAL_MS] [--soak MINUTES]
//   ktr_bench --engine [--ticks-scale F]   the playback thread under a blocked window and full load
//   ktr_bench --player [--ticks-scale F]
//
//   ktr_bench --edit
//   ktr_bench --web      what the web page costs the show (see web_bench.cpp)
//
// --player measures the headless player (ktr --play) instead: in this process under a
// QCoreApplication, and the real program as a child for its memory and start-up.
//   ktr_bench --dmx      DMX through a throwaway olad of its own instead

#include "editing/EditHistory.h"
#include "output/Port.h"
#include "output/StepPattern.h"
#include "player/HeadlessPlayer.h"
#include "player/PlayerStatus.h"
#include "sequencer/IntervalTimer.h"
#include "ui/EditMenus.h"
#include "ui/Form1.h"

#ifdef KTR_BENCH_DMX
#include "OlaTestServer.h"
#include "output/ola/OlaDmxPort.h"
#endif

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <pthread.h>
#include <sched.h>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/timerfd.h>
#include <thread>
#include <time.h>
#include <type_traits>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

qint64 nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double peakRssMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

double currentRssMb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1048576.0);
}

// Milliseconds since this process was started by the kernel (10 ms resolution).
double msSinceProcessStart() {
    std::ifstream stat("/proc/self/stat");
    std::string content((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t close = content.rfind(')');
    if (close == std::string::npos)
        return -1;
    // Field 22 (starttime) counted from the field after the command name (field 3).
    const char* p = content.c_str() + close + 2;
    unsigned long long start = 0;
    for (int field = 3; field <= 22 && *p; ++field) {
        if (field == 22)
            start = std::strtoull(p, nullptr, 10);
        p = std::strchr(p, ' ');
        if (!p)
            break;
        ++p;
    }
    timespec boot{};
    clock_gettime(CLOCK_BOOTTIME, &boot);
    const double nowMs = boot.tv_sec * 1e3 + boot.tv_nsec / 1e6;
    return nowMs - start * 1000.0 / sysconf(_SC_CLK_TCK);
}

// Records the time of every data-register write; quits the loop after the wanted count.
class TimestampPort : public Port {
public:
    std::vector<qint64> stamps;
    int wanted = 0;
    bool recording = false;
    QEventLoop* loop = nullptr;

protected:
    bool write(int address, quint8) override {
        if (address == DataAddress && recording) {
            stamps.push_back(nowNs());
            if (static_cast<int>(stamps.size()) >= wanted && loop)
                loop->quit();
        }
        return true;
    }
};

struct Stats {
    int ticks = 0;
    double meanMs = 0;
    int missed = 0;                   // grid slots without a tick: one too late to be on time is dropped
    double driftMs = 0;               // phase of the last tick against the ideal grid
    double driftHalfMs = 0;           // the same half-way, to see whether it grows
    double p50 = 0, p99 = 0, max = 0; // |period - interval| in ms
};

double percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, static_cast<size_t>(std::ceil(p * values.size())) - 1);
    return values[index];
}

using Chunks = std::vector<std::vector<qint64>>;

// Rhythm over several recorded stretches of the same timer. Periods and CPU pool across them;
// missed slots add up; drift is read over each stretch and the largest is reported.
Stats analyse(const Chunks& chunks, int intervalMs) {
    Stats s;
    std::vector<double> deviations;
    double total = 0;
    // Measured against the grid: a dropped tick is a missed slot, not drift.
    auto phase = [&](double elapsed) {
        return elapsed - std::llround(elapsed / intervalMs) * double(intervalMs);
    };
    for (const std::vector<qint64>& stamps : chunks) {
        if (stamps.size() < 2)
            continue;
        for (size_t i = 1; i < stamps.size(); ++i)
            deviations.push_back(std::fabs((stamps[i] - stamps[i - 1]) / 1e6 - intervalMs));
        const double elapsed = (stamps.back() - stamps.front()) / 1e6;
        const int ticks = static_cast<int>(stamps.size()) - 1;
        total += elapsed;
        s.ticks += ticks;
        s.missed += static_cast<int>(std::llround(elapsed / intervalMs)) - ticks;
        const double end = phase(elapsed);
        const double half = phase((stamps[stamps.size() / 2] - stamps.front()) / 1e6);
        if (std::fabs(end) >= std::fabs(s.driftMs)) {
            s.driftMs = end;
            s.driftHalfMs = half;
        }
    }
    if (deviations.empty())
        return s;
    s.meanMs = total / s.ticks;
    s.p50 = percentile(deviations, 0.50);
    s.p99 = percentile(deviations, 0.99);
    s.max = *std::max_element(deviations.begin(), deviations.end());
    return s;
}

// A bare timer on its own, as the yardstick: the same kind as Timer1 (IntervalTimer), and a
// precise QTimer for comparison.
template <typename Timer> std::vector<qint64> baseline(int intervalMs, int ticks) {
    std::vector<qint64> stamps;
    stamps.reserve(ticks + 2);
    QEventLoop loop;
    Timer timer;
    if constexpr (std::is_same_v<Timer, QTimer>)
        timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(intervalMs);
    int skipped = 0;
    QObject::connect(&timer, &Timer::timeout, &loop, [&] {
        if (skipped < 2) { // the first periods after start are not a steady rhythm
            ++skipped;
            return;
        }
        stamps.push_back(nowNs());
        if (static_cast<int>(stamps.size()) > ticks)
            loop.quit();
    });
    timer.start();
    loop.exec();
    return stamps;
}

void printStats(const char* what, int intervalMs, const Stats& s, double cpuPerTickUs, double ratio) {
    std::printf(
        "%-10s %4d ms  ticks %5d  missed %3d  mean %8.4f ms (%+.3f %%)  drift %+6.3f ms (half-way %+6.3f)  "
        "|dev| p50 %.3f p99 %.3f max %.3f ms",
        what, intervalMs, s.ticks, s.missed, s.meanMs, 100.0 * (s.meanMs - intervalMs) / intervalMs,
        s.driftMs, s.driftHalfMs, s.p50, s.p99, s.max);
    if (cpuPerTickUs >= 0)
        std::printf("  cpu/tick %.1f us  p99 vs bare %.2fx", cpuPerTickUs, ratio);
    std::printf("\n");
}

void setupPattern(Form1& window) {
    for (int step = 1; step <= StepCount; ++step) {
        window.setEnableBox(step, 1);
        for (int channel = 1; channel <= ChannelCount; ++channel)
            window.setChannelBox(step, channel, ((step * 7 + channel * 3) % 5) < 2 ? 1 : 0);
    }
}

void setSpeed(Form1& window, int intervalMs) {
    window.findChild<QScrollBar*>(QStringLiteral("VScroll1"))->setValue(intervalMs);
}

// Records the data-register writes of the next ticks.
std::vector<qint64> record(TimestampPort& port, int ticks) {
    QEventLoop loop;
    port.stamps.clear();
    port.stamps.reserve(ticks + 4);
    port.loop = &loop;
    port.wanted = ticks + 3;
    port.recording = true;
    loop.exec();
    port.recording = false;
    port.loop = nullptr;
    // Drop the first two periods: the new interval starts from the moment it was set.
    return std::vector<qint64>(port.stamps.begin() + 2, port.stamps.end());
}

std::vector<qint64> play(Form1& window, TimestampPort& port, int intervalMs, int ticks) {
    setSpeed(window, intervalMs);
    return record(port, ticks);
}

void tickCost(Form1& window) {
    std::vector<double> costs;
    costs.reserve(5000);
    window.engine().pauseTimer();
    for (int i = 0; i < 5000; ++i) {
        const qint64 start = nowNs();
        window.engine().tickNow();
        costs.push_back((nowNs() - start) / 1e3);
        QCoreApplication::processEvents(); // let the highlight repaint between ticks, as in real use
    }
    std::printf("tick handler (highlight, encode, port, monitor): p50 %.1f us  p99 %.1f us  max %.1f us\n",
                percentile(costs, 0.5), percentile(costs, 0.99),
                *std::max_element(costs.begin(), costs.end()));
    window.engine().resumeTimer();
}

// Each tool, undo and redo many times on the real window: the call alone (boxes set, undo step
// recorded or applied) and with the repaint of the changed boxes that follows it. prepare runs
// before each call, untimed.
void editCost(Form1& window) {
    using Tool = EditMenus::StepTool;
    EditMenus& edit = window.editMenus();
    EditHistory& history = edit.history();
    UndoStack& stack = history.stack();
    constexpr int Repeats = 200;
    edit.runStepTool(Tool::Copy, 3);
    auto measure = [&](const char* what, const std::function<void()>& prepare,
                       const std::function<void()>& action) {
        std::vector<double> call, painted;
        for (int i = 0; i < Repeats; ++i) {
            if (prepare)
                prepare();
            QCoreApplication::processEvents();
            const qint64 start = nowNs();
            action();
            const qint64 done = nowNs();
            QCoreApplication::processEvents();
            call.push_back((done - start) / 1e3);
            painted.push_back((nowNs() - start) / 1e3);
        }
        std::printf("edit %-34s call p50 %6.1f us  max %6.1f us   with repaint p50 %6.1f us  max %6.1f us\n",
                    what, percentile(call, 0.5), *std::max_element(call.begin(), call.end()),
                    percentile(painted, 0.5), *std::max_element(painted.begin(), painted.end()));
    };
    const auto invertAll = [&] {
        history.recordWholeEffect(QStringLiteral("bench"), [&] {
            for (int step = 1; step <= StepCount; ++step) {
                window.setEnableBox(step, window.enableBox(step) == 1 ? 0 : 1);
                for (int channel = 1; channel <= ChannelCount; ++channel)
                    window.setChannelBox(step, channel, window.channelBox(step, channel) == 1 ? 0 : 1);
            }
        });
    };
    const auto pattern = [&] { setupPattern(window); };
    measure("step: invert (12 boxes)", nullptr, [&] { edit.runStepTool(Tool::Invert, 11); });
    measure(
        "step: paste", [&] { edit.runStepTool(Tool::Invert, 11); },
        [&] { edit.runStepTool(Tool::Paste, 11); });
    measure("step: shift right", nullptr, [&] { edit.runStepTool(Tool::ShiftRight, 11); });
    measure("step: insert at step 1 (all rows)", pattern, [&] { edit.runStepTool(Tool::Insert, 1); });
    measure("step: delete step 1 (all rows)", pattern, [&] { edit.runStepTool(Tool::Delete, 1); });
    measure("channel: invert (22 boxes)", nullptr,
            [&] { edit.runChannelTool(EditMenus::ChannelTool::Invert, 6); });
    measure("whole effect: all 286 boxes change", nullptr, invertAll);
    measure("undo of the 286-box change", invertAll, [&] { stack.undo(); });
    measure(
        "redo of the 286-box change",
        [&] {
            invertAll();
            stack.undo();
        },
        [&] { stack.redo(); });
    measure(
        "undo of an insert at step 1",
        [&] {
            pattern();
            edit.runStepTool(Tool::Insert, 1);
        },
        [&] { stack.undo(); });
    measure("(for comparison) whole window repaint", nullptr, [&] { window.update(); });
    std::printf("edit undo history: %d steps, %zu bytes of effect per step (before and after)\n",
                stack.count(), 2 * sizeof(EffectSnapshot));
}

void idleCpu(Form1& window, double seconds) {
    setSpeed(window, 2);
    if (window.sequencer().running == 1)
        window.Start_Stop_Click();
    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    std::printf("stopped, timer at 2 ms: cpu %.2f %% of one core\n",
                100.0 * (cpuSeconds() - cpu0) / (wall.elapsed() / 1e3));
}

void soak(Form1& window, TimestampPort& port, double minutes) {
    setSpeed(window, 2);
    port.recording = false;
    const double start = currentRssMb();
    std::printf("soak: %.1f minutes at 2 ms, resident memory every 10 s\n", minutes);
    QElapsedTimer wall;
    wall.start();
    double first = -1; // after the first 10 s: caches and the paint buffers are in place by then
    double last = start;
    while (wall.elapsed() < minutes * 60000) {
        QEventLoop loop;
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
        last = currentRssMb();
        if (first < 0)
            first = last;
        std::printf("  %6.0f s  rss %.2f MB  (%+.3f MB)\n", wall.elapsed() / 1e3, last, last - start);
        std::fflush(stdout);
    }
    std::printf("soak growth: %+.3f MB from the 10 s mark to the end of %.1f minutes (%.2f -> %.2f MB; "
                "%+.3f MB counting the warm-up from %.2f MB)\n",
                last - first, minutes, first, last, last - start, start);
}

// Data-register writes stamped on whatever thread writes them, into room reserved beforehand.
class ThreadStampPort : public Port {
public:
    explicit ThreadStampPort(size_t capacity) : m_stamps(capacity) {}
    void begin() {
        m_recording = false;
        m_count = 0;
        m_recording = true;
    }
    size_t count() const { return std::min(m_count.load(), m_stamps.size()); }
    std::vector<qint64> end() {
        m_recording = false;
        return std::vector<qint64>(m_stamps.begin(), m_stamps.begin() + count());
    }

protected:
    bool write(int address, quint8) override {
        if (address == DataAddress && m_recording) {
            const size_t i = m_count.fetch_add(1);
            if (i < m_stamps.size())
                m_stamps[i] = nowNs();
        }
        return true;
    }

private:
    std::vector<qint64> m_stamps;
    std::atomic<size_t> m_count{0};
    std::atomic<bool> m_recording{false};
};

// A timerfd loop on a thread of its own, the best a thread can do on this machine: the yardstick
// for the playback thread, measured under the same conditions.
std::vector<qint64> bareThreadLoop(int intervalMs, int ticks, bool realtime) {
    std::vector<qint64> stamps;
    stamps.reserve(ticks + 3);
    std::thread loop([&] {
        prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
        if (realtime) {
            sched_param param{};
            param.sched_priority = 20;
            pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
        }
        const int fd = timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC);
        itimerspec period{};
        period.it_interval.tv_nsec = intervalMs * 1000000L;
        period.it_value = period.it_interval;
        timerfd_settime(fd, 0, &period, nullptr);
        uint64_t expirations = 0;
        for (int i = 0; i < ticks + 3; ++i) {
            if (::read(fd, &expirations, sizeof expirations) == sizeof expirations && i >= 2)
                stamps.push_back(nowNs());
        }
        ::close(fd);
    });
    loop.join();
    return stamps;
}

// Demotes or promotes the playback thread, found by its name.
void setPlaybackRealtime(bool realtime) {
    DIR* tasks = opendir("/proc/self/task");
    while (dirent* entry = tasks ? readdir(tasks) : nullptr) {
        std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
        std::string name;
        std::getline(comm, name);
        if (name != "ktr-playback")
            continue;
        sched_param param{};
        param.sched_priority = realtime ? 20 : 0;
        sched_setscheduler(std::atoi(entry->d_name), realtime ? SCHED_FIFO : SCHED_OTHER, &param);
    }
    if (tasks)
        closedir(tasks);
}

// Keeps every core busy at normal priority until destroyed.
class CpuLoad {
public:
    CpuLoad() {
        for (unsigned i = 0; i < std::max(1u, std::thread::hardware_concurrency()); ++i)
            m_threads.emplace_back([this] {
                volatile unsigned long spin = 0;
                while (!m_stop)
                    ++spin;
            });
    }
    ~CpuLoad() {
        m_stop = true;
        for (std::thread& t : m_threads)
            t.join();
    }

private:
    std::atomic<bool> m_stop{false};
    std::vector<std::thread> m_threads;
};

// CPU time the playback thread has used, from the scheduler's own account.
double playbackThreadCpuSeconds() {
    double total = 0;
    DIR* tasks = opendir("/proc/self/task");
    while (dirent* entry = tasks ? readdir(tasks) : nullptr) {
        const std::string task = std::string("/proc/self/task/") + entry->d_name;
        std::ifstream comm(task + "/comm");
        std::string name;
        std::getline(comm, name);
        if (name != "ktr-playback")
            continue;
        std::ifstream schedstat(task + "/schedstat");
        double ns = 0;
        schedstat >> ns;
        total += ns / 1e9;
    }
    if (tasks)
        closedir(tasks);
    return total;
}

// The window playing on its own thread while its event loop runs, optionally blocked for 500 ms
// once a second (as a slow dialog, a big folder listing or a menu would block it).
std::vector<qint64> playThreaded(Form1& window, ThreadStampPort& port, int intervalMs, int ticks,
                                 bool blockWindow) {
    setSpeed(window, intervalMs);
    QEventLoop loop;
    QTimer::singleShot(3 * intervalMs, &loop, &QEventLoop::quit);
    loop.exec();
    port.begin();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (port.count() > static_cast<size_t>(ticks))
            loop.quit();
    });
    poll.start(5);
    QTimer block;
    QObject::connect(&block, &QTimer::timeout, &loop,
                     [] { std::this_thread::sleep_for(std::chrono::milliseconds(500)); });
    if (blockWindow)
        block.start(500); // 500 ms blocked, 500 ms free
    loop.exec();
    return port.end();
}

void engineRows(double scale) {
    ThreadStampPort port(200000);
    Form1 window(port, EngineThreading::Thread);
    window.show();
    setupPattern(window);
    window.Start_Stop_Click();
    std::printf("playback thread priority: %s\n", qPrintable(window.engine().priorityText()));
    const bool canRealtime = window.engine().realtime();

    const struct {
        int interval;
        int ticks;
    } runs[] = {{2, 2500}, {10, 600}};
    for (const auto& run : runs) {
        const int ticks = std::max(20, static_cast<int>(run.ticks * scale));
        auto row = [&](const char* what, const std::vector<qint64>& stamps, double cpuPerTickUs = -1,
                       double bareP99 = 0) {
            const Stats s = analyse(Chunks{stamps}, run.interval);
            printStats(what, run.interval, s, cpuPerTickUs, bareP99 > 0 ? s.p99 / bareP99 : 0);
            std::fflush(stdout);
            return s;
        };
        const Stats bareIdle = row("fifo", bareThreadLoop(run.interval, ticks, true));
        const double cpu0 = playbackThreadCpuSeconds();
        const std::vector<qint64> idle = playThreaded(window, port, run.interval, ticks, false);
        const double cpuPerTick = (playbackThreadCpuSeconds() - cpu0) / idle.size() * 1e6;
        row("idle", idle, cpuPerTick, bareIdle.p99);
        row("blocked", playThreaded(window, port, run.interval, ticks, true), -1, bareIdle.p99);
        CpuLoad load;
        const Stats bareBusy = row("fifo+busy", bareThreadLoop(run.interval, ticks, true));
        row("norm+busy", bareThreadLoop(run.interval, ticks, false));
        if (canRealtime)
            row("rt+busy", playThreaded(window, port, run.interval, ticks, false), -1, bareBusy.p99);
        setPlaybackRealtime(false);
        row("nort+busy", playThreaded(window, port, run.interval, ticks, false), -1, bareBusy.p99);
        if (canRealtime)
            setPlaybackRealtime(true);
    }
}

// The same pattern as setupPattern, as a parsed effect.
Effect benchEffect() {
    Effect effect;
    for (int step = 1; step <= StepCount; ++step) {
        effect.grid.setEnabled(step, true);
        for (int channel = 1; channel <= ChannelCount; ++channel)
            effect.grid.setChannel(step, channel, ((step * 7 + channel * 3) % 5) < 2);
    }
    return effect;
}

std::vector<qint64> playHeadless(HeadlessPlayer& player, TimestampPort& port, int intervalMs, int ticks) {
    player.engine().speedChanged(intervalMs);
    return record(port, ticks);
}

// The real program, --play to an output at 2 ms: start-up until its start line (printed right
// after START's first write), its own peak resident memory after a few seconds of play, and
// whether the playing process has any GUI library mapped.
void childProgram(double seconds, const char* label, const QStringList& output) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.eff"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    for (int step = 1; step <= StepCount; ++step) {
        for (int channel = 1; channel <= ChannelCount; ++channel)
            file.write(((step * 7 + channel * 3) % 5) < 2 ? "x" : "0");
        file.write("\r\n");
    }
    file.write("2\r\nxxxxxxxxxxxxxxxxxxxxxx\r\n");
    file.close();

    QProcess ktr;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    ktr.setProcessEnvironment(environment);
    QElapsedTimer wall;
    wall.start();
    ktr.start(QStringLiteral(KTR_PLAYER_BINARY), QStringList{QStringLiteral("--play"), path} + output);
    if (!ktr.waitForStarted())
        return;
    QByteArray out;
    while (!out.contains("Lejátszás:") && ktr.waitForReadyRead(10000))
        out += ktr.readAllStandardOutput();
    const double startMs = wall.nsecsElapsed() / 1e6;
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
    QFile maps(QStringLiteral("/proc/%1/maps").arg(ktr.processId()));
    const bool gui = maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libQt6Gui");
    QFile status(QStringLiteral("/proc/%1/status").arg(ktr.processId()));
    QByteArray hwm;
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                hwm = line.mid(6).simplified();
        }
    }
    QElapsedTimer stopping;
    stopping.start();
    ktr.terminate();
    ktr.waitForFinished(5000);
    std::printf(
        "ktr-play as the unit starts it (child, %s, 2 ms): start line after %.0f ms, peak resident memory "
        "%s after %.0f s, "
        "%s, SIGTERM to exit %.1f ms, exit code %d\n",
        label, startMs, hwm.constData(), seconds, gui ? "Qt Gui MAPPED" : "no Qt Gui or Widgets mapped",
        stopping.nsecsElapsed() / 1e6, ktr.exitCode());
}

int playerBench(int argc, char* argv[], double mainEntryMs, double scale) {
    QCoreApplication app(argc, argv);
    TimestampPort port;
    QBuffer out;
    QBuffer err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    PlayerStatus status(out, err, false);
    HeadlessPlayer player(port, status);
    {
        // Start-up to the first write: START writes at once.
        QEventLoop loop;
        port.loop = &loop;
        port.wanted = 1;
        port.recording = true;
        player.start(benchEffect(), 200);
        const double firstWriteMs = msSinceProcessStart();
        port.recording = false;
        port.loop = nullptr;
        std::printf("headless player: first write %.0f ms after process start (main entered at %.0f ms)\n",
                    firstWriteMs, mainEntryMs);
    }
    for (int interval : {2, 10}) {
        constexpr int Rounds = 3;
        const int ticks = std::max(10, static_cast<int>((interval == 2 ? 5000 : 1500) * scale / Rounds));
        Chunks bareChunks, ktrChunks;
        double cpu = 0;
        for (int round = 0; round < Rounds; ++round) {
            bareChunks.push_back(baseline<IntervalTimer>(interval, ticks));
            const double cpu0 = cpuSeconds();
            ktrChunks.push_back(playHeadless(player, port, interval, ticks));
            cpu += cpuSeconds() - cpu0;
        }
        const Stats bare = analyse(bareChunks, interval);
        const Stats ours = analyse(ktrChunks, interval);
        const double cpuPerTick = cpu / (ours.ticks + ours.missed + 3 * Rounds) * 1e6;
        printStats("bare", interval, bare, -1, 0);
        printStats("player", interval, ours, cpuPerTick, bare.p99 > 0 ? ours.p99 / bare.p99 : 0);
        std::printf("player   %4d ms  cpu %.2f %% of one core while playing\n", interval,
                    100.0 * cpuPerTick / 1e3 / interval);
        std::fflush(stdout);
    }
    std::vector<double> costs;
    player.engine().pauseTimer();
    for (int i = 0; i < 5000; ++i) {
        const qint64 start = nowNs();
        player.engine().tickNow();
        costs.push_back((nowNs() - start) / 1e3);
    }
    std::printf("player tick (encode, port, monitor line): p50 %.1f us  p99 %.1f us  max %.1f us\n",
                percentile(costs, 0.5), percentile(costs, 0.99),
                *std::max_element(costs.begin(), costs.end()));
    std::printf("peak resident memory (this process, QCoreApplication): %.1f MB\n", peakRssMb());
    std::fflush(stdout);
    childProgram(5.0, "screen output", {QStringLiteral("--output"), QStringLiteral("screen")});
    // No port here: the output fails, and the player goes on retrying it every second.
    childProgram(5.0, "parallel port", {QStringLiteral("--output"), QStringLiteral("parport")});
#ifdef KTR_BENCH_DMX
    OlaTestServer olad;
    if (olad.start())
        childProgram(5.0, "DMX output",
                     {QStringLiteral("--output"), QStringLiteral("ola:1"), QStringLiteral("--ola-port"),
                      QString::number(olad.port())});
#endif
    return 0;
}
#ifdef KTR_BENCH_DMX
double processCpuSeconds(qint64 pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string content((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t close = content.rfind(')');
    if (close == std::string::npos)
        return 0;
    const char* p = content.c_str() + close + 2;
    unsigned long long ticks = 0;
    for (int field = 3; field <= 15 && p; ++field) {
        if (field == 14 || field == 15)
            ticks += std::strtoull(p, nullptr, 10);
        p = std::strchr(p, ' ');
        if (p)
            ++p;
    }
    return double(ticks) / sysconf(_SC_CLK_TCK);
}

// The window playing to a DMX port (olad's Dummy device patched to its universe), with olad
// reading the frames back.
int dmxBench() {
    OlaTestServer olad({QStringLiteral("dummy")});
    if (!olad.start()) {
        std::printf("dmx: olad did not start\n");
        return 1;
    }
    OlaDmxPort port(1, 1, 255, olad.port(), QStringLiteral("1-1:0"));
    Form1 window(port);
    window.show();
    setupPattern(window);
    window.engine().pauseTimer();
    auto reader = std::make_unique<OlaFrameReader>();
    if (!reader->open(olad.port(), 1)) {
        std::printf("dmx: could not read back from olad\n");
        return 1;
    }
    window.Start_Stop_Click();
    reader->waitForFrames(1);

    // Tick to frame read back, one tick at a time (the steps differ, so every tick is a new frame).
    std::vector<double> latencies;
    for (int i = 0; i < 1000; ++i) {
        const std::size_t before = reader->frames().size();
        const auto start = Clock::now();
        window.engine().tickNow();
        const auto frames = reader->waitForFrames(before + 1, std::chrono::seconds(2));
        if (frames.size() > before)
            latencies.push_back(
                std::chrono::duration<double, std::micro>(frames[before].arrived - start).count());
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    std::printf("dmx: tick to frame read back from olad: p50 %.0f us  p99 %.0f us  (%zu of 1000 frames)\n",
                percentile(latencies, 0.5), percentile(latencies, 0.99), latencies.size());
    reader.reset();
    std::printf("dmx: ");
    tickCost(window);

    // Playing at 2 ms on the real timer: this process (window, tick, sender) and olad.
    setSpeed(window, 2);
    const double cpu0 = cpuSeconds();
    const double olad0 = processCpuSeconds(olad.pid());
    QElapsedTimer wall;
    wall.start();
    QEventLoop loop;
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    const double seconds = wall.elapsed() / 1e3;
    std::printf("dmx: playing at 2 ms: ktr cpu %.2f %% of one core, olad %.2f %%\n",
                100.0 * (cpuSeconds() - cpu0) / seconds,
                100.0 * (processCpuSeconds(olad.pid()) - olad0) / seconds);
    return 0;
}
#endif

} // namespace

int webBench(int argc, char* argv[]); // web_bench.cpp

int main(int argc, char* argv[]) {
    const double mainEntryMs = msSinceProcessStart();
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    double scale = 1.0;
    double soakMinutes = 0;
    int only = 0;
    bool engine = false;
    bool editOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--engine"))
            engine = true;
        if (!std::strcmp(argv[i], "--edit"))
            editOnly = true;
    }
    for (int i = 1; i + 1 < argc; ++i) {
        if (!std::strcmp(argv[i], "--ticks-scale"))
            scale = std::atof(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--only"))
            only = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--soak"))
            soakMinutes = std::atof(argv[i + 1]);
    }

    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--player"))
            return playerBench(argc, argv, mainEntryMs, scale);
        if (!std::strcmp(argv[i], "--web"))
            return webBench(argc, argv);
    }

    QApplication app(argc, argv);
    if (engine) {
        engineRows(scale);
        return 0;
    }
#ifdef KTR_BENCH_DMX
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--dmx"))
            return dmxBench();
    }
#endif
    TimestampPort port;
    Form1 window(port);
    window.show();
    while (!window.windowHandle() || !window.windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const double shownMs = msSinceProcessStart();
    std::printf("start-up: window shown %.0f ms after process start (main entered at %.0f ms)\n", shownMs,
                mainEntryMs);

    setupPattern(window);
    if (editOnly) {
        editCost(window);
        std::printf("peak resident memory: %.1f MB\n", peakRssMb());
        return 0;
    }
    window.Start_Stop_Click();

    if (soakMinutes > 0) {
        soak(window, port, soakMinutes);
        return 0;
    }

    struct Run {
        int interval;
        int ticks;
    };
    const Run runs[] = {{2, 5000}, {10, 1500}, {50, 300}, {200, 75}};
    for (const Run& run : runs) {
        if (only && run.interval != only)
            continue;
        // Three rounds, each timer in turn, so that all three meet the same machine conditions.
        constexpr int Rounds = 3;
        const int ticks = std::max(10, static_cast<int>(run.ticks * scale / Rounds));
        Chunks qtChunks, bareChunks, ktrChunks;
        double cpu = 0;
        for (int round = 0; round < Rounds; ++round) {
            qtChunks.push_back(baseline<QTimer>(run.interval, ticks));
            bareChunks.push_back(baseline<IntervalTimer>(run.interval, ticks));
            const double cpu0 = cpuSeconds();
            ktrChunks.push_back(play(window, port, run.interval, ticks));
            cpu += cpuSeconds() - cpu0;
        }
        const Stats bareQt = analyse(qtChunks, run.interval);
        const Stats bare = analyse(bareChunks, run.interval);
        const Stats ours = analyse(ktrChunks, run.interval);
        const double cpuPerTick = cpu / (ours.ticks + ours.missed + 3 * Rounds) * 1e6;
        printStats("qtimer", run.interval, bareQt, -1, 0);
        printStats("bare", run.interval, bare, -1, 0);
        printStats("ktr", run.interval, ours, cpuPerTick, bare.p99 > 0 ? ours.p99 / bare.p99 : 0);
        std::printf("ktr      %4d ms  cpu %.2f %% of one core while playing\n", run.interval,
                    100.0 * cpuPerTick / 1e3 / run.interval);
        std::fflush(stdout);
    }
    tickCost(window);
    idleCpu(window, 3.0);
    std::printf("peak resident memory: %.1f MB\n", peakRssMb());
    return 0;
}
