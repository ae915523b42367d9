// ktr_bench --web: what the web page costs the show. The player plays on its real-time playback
// thread while WebSocket clients on a thread of their own listen to the event stream:
// - a played step (its data-register write) to the step message received, on loopback;
// - the tick's rhythm (|period - interval| at 2 ms) with no client and with 20, in one run;
// - the real `ktr --play` with and without --web: peak resident memory with a client connected;
// - the page's bytes.
#include "control/ShowControl.h"
#include "effects/EffectFile.h"
#include "player/HeadlessPlayer.h"
#include "player/PlayerStatus.h"
#include "web/WebServer.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWebSocket>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <vector>

namespace {

qint64 monotonicNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double percentileOf(std::vector<double> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(p * static_cast<double>(values.size())))];
}

const QByteArray Key = "0123456789abcdef0123456789abcdef";

// Stamps every data-register write, on the playback thread; step k writes k there.
class StampPort : public Port {
public:
    std::mutex mutex;
    std::vector<qint64> stamps;
    std::vector<std::pair<int, qint64>> steps;
    std::atomic<bool> recording{false};

protected:
    bool write(int address, quint8 value) override {
        if (address == 888 && recording) {
            const qint64 now = monotonicNs();
            const std::lock_guard<std::mutex> lock(mutex);
            stamps.push_back(now);
            steps.emplace_back(value, now);
        }
        return true;
    }
};

// WebSocket clients on their own thread; the first one stamps every step message it receives.
class Clients : public QObject {
public:
    std::mutex mutex;
    std::vector<std::pair<int, qint64>> stepStamps; // step number, when received
    std::atomic<int> connected{0};
    std::atomic<bool> recording{false};

    void open(const QUrl& url, int count) {
        for (int i = 0; i < count; ++i) {
            auto* socket = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this);
            connect(socket, &QWebSocket::connected, this, [this] { ++connected; });
            if (i == 0) {
                connect(socket, &QWebSocket::textMessageReceived, this, [this](const QString& message) {
                    if (recording && message.startsWith(QLatin1String("{\"type\":\"step\""))) {
                        const qint64 now = monotonicNs();
                        const int step =
                            message.section(QLatin1Char(':'), 2, 2).section(QLatin1Char(','), 0, 0).toInt();
                        const std::lock_guard<std::mutex> lock(mutex);
                        stepStamps.emplace_back(step, now);
                    }
                });
            }
            socket->open(url);
        }
    }
    void closeAll() {
        for (QWebSocket* socket : findChildren<QWebSocket*>())
            delete socket;
        connected = 0;
    }
};

Effect allSteps() {
    Effect effect;
    for (int step = 1; step <= StepCount; ++step) {
        for (int bit = 0; bit < 8; ++bit)
            effect.grid.setChannel(step, 8 - bit, step & (1 << bit)); // data register = step number
        effect.grid.setEnabled(step, true);
    }
    return effect;
}

void waitMs(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// |period - interval| of the recorded writes, p99 in ms.
double periodP99(const std::vector<qint64>& stamps, int intervalMs) {
    std::vector<double> deviations;
    for (size_t i = 1; i < stamps.size(); ++i)
        deviations.push_back(std::abs((stamps[i] - stamps[i - 1]) / 1e6 - intervalMs));
    return percentileOf(deviations, 0.99);
}

std::vector<qint64> record(StampPort& port, int ms) {
    {
        const std::lock_guard<std::mutex> lock(port.mutex);
        port.stamps.clear();
        port.steps.clear();
    }
    port.recording = true;
    waitMs(ms);
    port.recording = false;
    const std::lock_guard<std::mutex> lock(port.mutex);
    return port.stamps;
}

QByteArray childPeakRss(const QStringList& arguments, bool connectClient, quint16 port) {
    QProcess ktr;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    ktr.setProcessEnvironment(environment);
    ktr.start(QStringLiteral(KTR_BINARY), arguments);
    if (!ktr.waitForStarted())
        return "?";
    waitMs(1000);
    QWebSocket client;
    if (connectClient)
        client.open(
            QUrl(QStringLiteral("ws://127.0.0.1:%1/api/events?key=").arg(port) + QString::fromLatin1(Key)));
    waitMs(4000);
    QFile status(QStringLiteral("/proc/%1/status").arg(ktr.processId()));
    QByteArray hwm = "?";
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                hwm = line.mid(6).simplified();
        }
    }
    ktr.terminate();
    ktr.waitForFinished(5000);
    return hwm;
}

} // namespace

int webBench(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    std::printf("page: %lld bytes (one file, nothing else loaded)\n",
                static_cast<long long>(WebServer::page().size()));

    StampPort port;
    QBuffer out, err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    PlayerStatus status(out, err, false);
    HeadlessPlayer player(port, status, EngineThreading::Thread, QStringLiteral("bench"));
    WebServer server(player.showControl(), *WebKey::fromText(Key));
    QString error;
    if (!server.listen(QHostAddress::LocalHost, 0, &error)) {
        std::printf("%s\n", qPrintable(error));
        return 1;
    }
    const QUrl url(QStringLiteral("ws://127.0.0.1:%1/api/events?key=").arg(server.port()) +
                   QString::fromLatin1(Key));
    QThread clientThread;
    Clients clients;
    clients.moveToThread(&clientThread);
    clientThread.start();

    player.start(allSteps(), 2);
    waitMs(300);
    const double noneP99 = periodP99(record(port, 4000), 2);
    QMetaObject::invokeMethod(&clients, [&] { clients.open(url, 20); });
    while (clients.connected < 20)
        waitMs(50);
    const double twentyP99 = periodP99(record(port, 4000), 2);
    std::printf("tick at 2 ms, |period - interval| p99: %.3f ms with no client, %.3f ms with 20 WebSocket "
                "clients (%d connected, %llu messages dropped)\n",
                noneP99, twentyP99, server.eventClients(),
                static_cast<unsigned long long>(server.droppedMessages()));

    // Latency at 10 ms a step, one client reading (the other 19 too, on the same thread).
    player.showControl().setSpeed(10);
    waitMs(1000);
    {
        const std::lock_guard<std::mutex> lock(clients.mutex);
        clients.stepStamps.clear();
        const std::lock_guard<std::mutex> portLock(port.mutex);
        port.steps.clear();
    }
    // The writes are recorded from before the first message counted to after the last one.
    port.recording = true;
    waitMs(100);
    clients.recording = true;
    waitMs(10000);
    clients.recording = false;
    waitMs(100);
    port.recording = false;
    std::vector<std::pair<int, qint64>> received, written;
    {
        const std::lock_guard<std::mutex> lock(clients.mutex);
        received = clients.stepStamps;
    }
    {
        const std::lock_guard<std::mutex> lock(port.mutex);
        written = port.steps;
    }
    // Each message against the latest write of its step before it: a step comes round every
    // 220 ms, far longer than any latency measured.
    std::vector<double> latencies;
    for (const auto& [step, at] : received) {
        for (auto it = written.rbegin(); it != written.rend(); ++it) {
            if (it->first == step && it->second <= at) {
                latencies.push_back((at - it->second) / 1e6);
                break;
            }
        }
    }
    std::printf(
        "step written -> step message received (loopback, 20 clients, %zu steps, %zu matched): p50 %.3f ms, "
        "p99 %.3f ms, max %.3f ms\n",
        written.size(), latencies.size(), percentileOf(latencies, 0.5), percentileOf(latencies, 0.99),
        latencies.empty() ? 0.0 : *std::max_element(latencies.begin(), latencies.end()));
    QMetaObject::invokeMethod(
        &clients, [&] { clients.closeAll(); }, Qt::BlockingQueuedConnection);
    clientThread.quit();
    clientThread.wait();
    player.stop();

    QTemporaryDir dir;
    const QString show = dir.filePath(QStringLiteral("show.eff"));
    QFile file(show);
    file.open(QIODevice::WriteOnly);
    for (int step = 1; step <= StepCount; ++step)
        file.write(
            EffectGrid::channelText(EffectGrid::Channels(1u << ((step - 1) % ChannelCount))).toLatin1() +
            "\r\n");
    file.write("2\r\nxxxxxxxxxxxxxxxxxxxxxx\r\n");
    file.close();
    const QString keyFile = dir.filePath(QStringLiteral("web.key"));
    QFile keyOut(keyFile);
    keyOut.open(QIODevice::WriteOnly);
    keyOut.write(Key + '\n');
    keyOut.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    keyOut.close();
    const QStringList base{QStringLiteral("--play"), show, QStringLiteral("--output"),
                           QStringLiteral("screen")};
    const quint16 childPort = 18000 + static_cast<quint16>(QCoreApplication::applicationPid() % 1000);
    std::printf(
        "ktr --play (child, screen, 2 ms) peak resident memory after 5 s: %s without --web, %s with --web "
        "and a WebSocket client\n",
        childPeakRss(base, false, 0).constData(),
        childPeakRss(base + QStringList{QStringLiteral("--web"),
                                        QStringLiteral("127.0.0.1:%1").arg(childPort),
                                        QStringLiteral("--web-key-file"), keyFile},
                     true, childPort)
            .constData());
    return 0;
}
