#include "OlaDmxPort.h"

#include "OlaDevices.h"

#include <ola/DmxBuffer.h>
#include <ola/Logging.h>
#include <ola/client/StreamingClient.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <mutex>
#include <optional>
#include <thread>

#include <csignal>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

enum State { Connecting, Connected, Failed, NoDevice, PatchFailed };

// Well under the 2.5 s after which sACN receivers drop a silent source.
constexpr auto RepeatInterval = std::chrono::milliseconds(900);
constexpr auto ReconnectInterval = std::chrono::seconds(1);
// How often olad is asked whether the universe reaches a device (and whether it still answers).
constexpr auto CheckInterval = std::chrono::seconds(2);

} // namespace

struct OlaDmxPort::Shared {
    int universe = 0;
    int address = 1;
    int level = 255;
    int olaPort = 0;
    std::optional<OlaDevices::PatchTarget> patch;
    int wakeFd = -1;
    // Bits 16..31 count the published pairs, 8..15 hold the data byte, 0..7 the control byte.
    std::atomic<std::uint32_t> latest{0};
    std::atomic<int> state{Connecting};
    std::atomic<bool> stop{false};
    std::atomic<bool> wakePending{false}; // a wake-up is on its way: back-to-back writes skip theirs
    std::atomic<bool> checkNow{false};    // START: patch and check again at once
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
    // Patches, then asks whether the universe reaches a device. False: olad is lost or stalled.
    bool check(OlaDevices& devices);
};

bool OlaDmxPort::Shared::check(OlaDevices& devices) {
    auto list = devices.devices();
    if (!list)
        return false;
    const unsigned target = static_cast<unsigned>(universe);
    bool patchFailed = false;
    if (patch) {
        const OlaDevices::Device* device = OlaDevices::find(*list, patch->device);
        const OlaDevices::OutputPort* output =
            device ? OlaDevices::findOutput(*device, patch->port) : nullptr;
        if (!output) {
            patchFailed = true;
        } else if (output->universe != target) {
            if (devices.patch(device->alias, output->id, target)) {
                list = devices.devices(); // read back what olad made of it
                if (!list)
                    return false;
            } else if (!devices.connected()) {
                return false;
            } else {
                patchFailed = true; // refused
            }
        }
    }
    if (patchFailed)
        state = PatchFailed;
    else
        state = OlaDevices::reaches(*list, target) ? Connected : NoDevice;
    return true;
}

void OlaDmxPort::Shared::run() {
    // A write to a closed connection must fail, not kill the program.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    // Below the thread that ticks: a wake-up must not preempt the tick that sent it. The thread
    // is started from the playback thread, whose real-time policy it would otherwise inherit, and
    // a nice value means nothing to a real-time thread.
    const sched_param normal{};
    pthread_setschedparam(pthread_self(), SCHED_OTHER, &normal);
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), 5);
    pthread_setname_np(pthread_self(), "ktr-dmx");

    std::unique_ptr<ola::client::StreamingClient> client;
    OlaDevices devices(olaPort);
    std::uint32_t sent = 0;
    auto lastSend = Clock::now();
    auto nextConnect = Clock::now();
    auto nextCheck = Clock::now();
    ola::DmxBuffer buffer;
    const auto lost = [&] {
        client.reset();
        devices.disconnect();
        state = Failed;
        nextConnect = Clock::now() + ReconnectInterval;
    };
    while (!stop.load()) {
        auto now = Clock::now();
        if (!client && now >= nextConnect) {
            ola::client::StreamingClient::Options options;
            options.auto_start = false;
            options.server_port = static_cast<std::uint16_t>(olaPort);
            client = std::make_unique<ola::client::StreamingClient>(options);
            if (client->Setup()) {
                sent = 0; // the last frame goes out again at once
                nextCheck = now;
            } else {
                lost();
                continue;
            }
        }
        if (client && (checkNow.exchange(false) || now >= nextCheck)) {
            // A stalled olad still accepts connections (the kernel does), so only an answer counts.
            if (!check(devices)) {
                lost();
                continue;
            }
            now = Clock::now();
            nextCheck = now + CheckInterval;
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
                lost();
                continue;
            }
        }
        const auto wakeAt = client ? std::min(lastSend + RepeatInterval, nextCheck) : nextConnect;
        const auto wait =
            std::chrono::duration_cast<std::chrono::milliseconds>(wakeAt - Clock::now()).count();
        pollfd fd{wakeFd, POLLIN, 0};
        if (::poll(&fd, 1, static_cast<int>(std::clamp<long long>(wait + 1, 0, 1000))) > 0) {
            std::uint64_t count;
            [[maybe_unused]] const ssize_t n = ::read(wakeFd, &count, sizeof count);
        }
    }
    client.reset();
    devices.disconnect();
    finished.set_value();
}

OlaDmxPort::OlaDmxPort(int universe, int address, int level, int olaPort, const QString& patch)
    : m_shared(std::make_shared<Shared>()), m_message(failureMessage(olaPort)),
      m_noDeviceMessage(noDeviceMessage(universe)), m_patchMessage(patchFailureMessage(patch, universe)) {
    m_shared->patch = OlaDevices::parsePatch(patch);
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
    const int state = m_shared->state.load(std::memory_order_relaxed);
    return state == Failed || state == NoDevice || state == PatchFailed;
}

bool OlaDmxPort::reachesNoDevice() const {
    return m_shared->state.load(std::memory_order_relaxed) == NoDevice;
}

// At START the patch is made again (olad forgets it when it restarts) and the universe checked.
void OlaDmxPort::starting() {
    if (!m_started)
        return; // the first write starts the sender, which checks first thing
    m_shared->checkNow = true;
    m_shared->wake();
}

OlaDmxPort::Frame OlaDmxPort::frame(quint8 data, quint8 control, int address, int level) {
    Frame dmx{};
    const std::array<bool, 12> high = highPins(data, control);
    for (int k = 0; k < 12; ++k) {
        if (high[k])
            dmx[address - 1 + k] = static_cast<std::uint8_t>(level);
    }
    return dmx;
}

OutputFailure OlaDmxPort::failureMessage(int olaPort) {
    return {QStringLiteral("A DMX-kimenet"), QStringLiteral("olad (port: %1)").arg(olaPort),
            QStringLiteral("az olad (Open Lighting Architecture) nem érhető el, vagy nem válaszol."),
            QStringLiteral("indítsa el (vagy újra) az olad szolgáltatást: sudo systemctl restart olad."),
            QStringLiteral("olad nem érhető el")};
}

OutputFailure OlaDmxPort::noDeviceMessage(int universe) {
    return {
        QStringLiteral("A DMX-kimenet"), QStringLiteral("olad"),
        QStringLiteral("az olad %1. univerzumához nincs kimeneti port rendelve, így a jel nem jut el "
                       "eszközhöz.")
            .arg(universe),
        QStringLiteral("válasszon eszközt a Kimenet menü „DMX (OLA)…” ablakában, vagy adja meg a "
                       "--ola-patch ESZKÖZ:PORT kapcsolót (a lehetőségeket a ktr --list-outputs sorolja "
                       "fel). A program tovább küldi a jelet; amint az univerzumhoz eszköz kerül, a fények "
                       "kigyulladnak."),
        QStringLiteral("%1. univerzum: nincs eszköz").arg(universe)};
}

OutputFailure OlaDmxPort::patchFailureMessage(const QString& patch, int universe) {
    const auto target = OlaDevices::parsePatch(patch);
    return {QStringLiteral("A DMX-kimenet"),
            QStringLiteral("az olad „%1” eszközének %2. kimeneti portja")
                .arg(target ? target->device : patch)
                .arg(target ? target->port : 0),
            QStringLiteral("az olad nem rendelheti a(z) %1. univerzumhoz; ilyen eszköz vagy port most nincs.")
                .arg(universe),
            QStringLiteral("csatlakoztassa az eszközt, vagy válasszon a ktr --list-outputs által felsoroltak "
                           "közül (a „DMX (OLA)…” ablakban vagy a --ola-patch kapcsolóval)."),
            QStringLiteral("nincs ilyen DMX-eszköz: %1").arg(patch)};
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
    switch (m_shared->state.load(std::memory_order_relaxed)) {
    case Failed:
        return fail(m_message);
    case NoDevice:
        return fail(m_noDeviceMessage);
    case PatchFailed:
        return fail(m_patchMessage);
    default:
        return true;
    }
}
