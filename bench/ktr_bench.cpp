// Playback benchmark: builds the real main window offscreen with a port that timestamps every
// write, plays all 22 steps at several speeds, and compares the rhythm with a bare QTimer of the
// same kind. Also reports the tick handler's own cost, start-up time and peak memory.
//
//   ktr_bench [--ticks-scale F] [--only INTERVAL_MS] [--soak MINUTES]
//   ktr_bench --dmx      DMX through a throwaway olad of its own instead

#include "output/Port.h"
#include "output/StepPattern.h"
#include "sequencer/IntervalTimer.h"
#include "ui/Form1.h"

#ifdef KTR_BENCH_DMX
#include "OlaTestServer.h"
#include "output/OlaDmxPort.h"
#endif

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QScrollBar>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/resource.h>
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
        "%-8s %4d ms  ticks %5d  missed %3d  mean %8.4f ms (%+.3f %%)  drift %+6.3f ms (half-way %+6.3f)  "
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

std::vector<qint64> play(Form1& window, TimestampPort& port, int intervalMs, int ticks) {
    setSpeed(window, intervalMs);
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

void tickCost(Form1& window) {
    std::vector<double> costs;
    costs.reserve(5000);
    window.sequencer().timer().stop();
    for (int i = 0; i < 5000; ++i) {
        const qint64 start = nowNs();
        window.sequencer().tick();
        costs.push_back((nowNs() - start) / 1e3);
        QCoreApplication::processEvents(); // let the highlight repaint between ticks, as in real use
    }
    std::printf("tick handler (highlight, encode, port, monitor): p50 %.1f us  p99 %.1f us  max %.1f us\n",
                percentile(costs, 0.5), percentile(costs, 0.99),
                *std::max_element(costs.begin(), costs.end()));
    window.sequencer().timer().start();
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

// The window playing to a DMX port, with olad reading the frames back.
int dmxBench() {
    OlaTestServer olad;
    if (!olad.start()) {
        std::printf("dmx: olad did not start\n");
        return 1;
    }
    OlaDmxPort port(1, 1, 255, olad.port());
    Form1 window(port);
    window.show();
    setupPattern(window);
    window.sequencer().timer().stop();
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
        window.sequencer().tick();
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

int main(int argc, char* argv[]) {
    const double mainEntryMs = msSinceProcessStart();
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    double scale = 1.0;
    double soakMinutes = 0;
    int only = 0;
    for (int i = 1; i + 1 < argc; ++i) {
        if (!std::strcmp(argv[i], "--ticks-scale"))
            scale = std::atof(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--only"))
            only = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--soak"))
            soakMinutes = std::atof(argv[i + 1]);
    }

    QApplication app(argc, argv);
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
