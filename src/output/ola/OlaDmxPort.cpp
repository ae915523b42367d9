#include "OlaDmxPort.h"

#include <ola/DmxBuffer.h>
#include <ola/Logging.h>
#include <ola/client/StreamingClient.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>

#include <csignal>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

enum State { Connecting, Connected, Failed };

// Well under the 2.5 s after which sACN receivers drop a silent source.
constexpr auto RepeatInterval = std::chrono::milliseconds(900);
constexpr auto ReconnectInterval = std::chrono::seconds(1);

// Bits of the control register that are inverted on the connector: C3, C1, C0.
constexpr quint8 InvertedControlBits = 0x0B;

} // namespace

struct OlaDmxPort::Shared {
    int universe = 0;
    int address = 1;
    int level = 255;
    int olaPort = 0;
    int wakeFd = -1;
    // Bits 16..31 count the published pairs, 8..15 hold the data byte, 0..7 the control byte.
    std::atomic<std::uint32_t> latest{0};
    std::atomic<int> state{Connecting};
    std::atomic<bool> stop{false};
    std::atomic<bool> wakePending{false}; // a wake-up is on its way: back-to-back writes skip theirs
    std::promise<void> finished;

    ~Shared() {
        if (wakeFd >= 0)
            ::close(wakeFd);
    }

    void wake() const {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeFd, &one, sizeof one);
    }

    void run();
};

void OlaDmxPort::Shared::run() {
    // A write to a closed connection must fail, not kill the program.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    // Below the thread that ticks: a wake-up must not preempt the tick that sent it.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), 5);

    std::unique_ptr<ola::client::StreamingClient> client;
    std::uint32_t sent = 0;
    auto lastSend = Clock::now();
    auto nextConnect = Clock::now();
    ola::DmxBuffer buffer;
    while (!stop.load()) {
        const auto now = Clock::now();
        if (!client && now >= nextConnect) {
            ola::client::StreamingClient::Options options;
            options.auto_start = false;
            options.server_port = static_cast<std::uint16_t>(olaPort);
            client = std::make_unique<ola::client::StreamingClient>(options);
            if (client->Setup()) {
                state = Connected;
                sent = 0; // the last frame goes out again at once
            } else {
                client.reset();
                state = Failed;
                nextConnect = now + ReconnectInterval;
            }
        }
        wakePending = false;
        const std::uint32_t pair = latest.load();
        if (client && pair != 0 && (pair != sent || now - lastSend >= RepeatInterval)) {
            const Frame dmx = frame(quint8(pair >> 8), quint8(pair), address, level);
            buffer.Set(dmx.data(), FrameSize);
            if (client->SendDmx(static_cast<unsigned>(universe), buffer)) {
                sent = pair;
                lastSend = Clock::now();
            } else {
                client.reset();
                state = Failed;
                nextConnect = Clock::now() + ReconnectInterval;
                continue;
            }
        }
        const auto wakeAt = client ? lastSend + RepeatInterval : nextConnect;
        const auto wait =
            std::chrono::duration_cast<std::chrono::milliseconds>(wakeAt - Clock::now()).count();
        pollfd fd{wakeFd, POLLIN, 0};
        if (::poll(&fd, 1, static_cast<int>(std::clamp<long long>(wait + 1, 0, 1000))) > 0) {
            std::uint64_t count;
            [[maybe_unused]] const ssize_t n = ::read(wakeFd, &count, sizeof count);
        }
    }
    client.reset();
    finished.set_value();
}

OlaDmxPort::OlaDmxPort(int universe, int address, int level, int olaPort)
    : m_shared(std::make_shared<Shared>()), m_message(failureMessage(olaPort)) {
    m_shared->universe = universe;
    m_shared->address = address;
    m_shared->level = level;
    m_shared->olaPort = olaPort;
}

OlaDmxPort::~OlaDmxPort() {
    if (!m_started)
        return;
    m_shared->stop = true;
    m_shared->wake();
    // A sender stuck on a stalled olad is left to finish on its own; the shared state outlives it.
    std::future<void> done = m_shared->finished.get_future();
    if (done.wait_for(std::chrono::milliseconds(500)) == std::future_status::ready)
        m_sender->join();
    else
        m_sender->detach();
}

// The sender starts with the first frame, like a port that opens its device at the first write.
void OlaDmxPort::start() {
    m_started = true;
    static std::once_flag quietOla;
    // The failures are ours to report, in Hungarian and once; OLA would log each reconnection.
    std::call_once(quietOla, [] { ola::InitLogging(ola::OLA_LOG_NONE, ola::OLA_LOG_STDERR); });
    m_shared->wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    std::shared_ptr<Shared> shared = m_shared;
    m_sender = std::make_unique<std::thread>([shared] { shared->run(); });
}

bool OlaDmxPort::failing() const {
    return m_shared->state.load(std::memory_order_relaxed) == Failed;
}

OlaDmxPort::Frame OlaDmxPort::frame(quint8 data, quint8 control, int address, int level) {
    Frame dmx{};
    const quint8 controlHigh = control ^ InvertedControlBits;
    for (int k = 0; k < 12; ++k) {
        const bool high = k < 8 ? (data >> (7 - k)) & 1 : (controlHigh >> (11 - k)) & 1;
        if (high)
            dmx[address - 1 + k] = static_cast<std::uint8_t>(level);
    }
    return dmx;
}

QString OlaDmxPort::failureMessage(int olaPort) {
    return OutputFailure{
        QStringLiteral("A DMX-kimenet"), QStringLiteral("olad (port: %1)").arg(olaPort),
        QStringLiteral("az olad (Open Lighting Architecture) nem érhető el."),
        QStringLiteral("indítsa el az olad szolgáltatást (sudo systemctl start olad), majd az "
                       "olad weboldalán (http://localhost:9090) rendelje az univerzumot egy "
                       "Art-Net, sACN vagy USB DMX kimenethez.")}
        .text();
}

bool OlaDmxPort::write(int address, quint8 value) {
    if (address == DataAddress) {
        m_data = value;
    } else {
        if (!m_started)
            start();
        const std::uint32_t count = (m_shared->latest.load(std::memory_order_relaxed) >> 16) + 1;
        // Never 0, which means "nothing published yet".
        const std::uint32_t generation = (count & 0xFFFF) ? count & 0xFFFF : 1;
        m_shared->latest.store(generation << 16 | std::uint32_t(m_data) << 8 | value);
        if (!m_shared->wakePending.exchange(true))
            m_shared->wake();
    }
    return !failing() || fail(m_message);
}
