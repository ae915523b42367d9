#include "OlaDmxPort.h"

#include "OlaDevices.h"
#include "OlaSession.h"

#include <ola/Logging.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <mutex>
#include <optional>
#include <thread>

#include <csignal>
#include <pthread.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

enum State { Connecting, Connected, Failed, NoDevice, PatchFailed };

// Well under the 2.5 s after which sACN receivers drop a silent source.
constexpr auto RepeatInterval = 900ms;
// Connection attempts back off from a quarter of a second to one a second; each gives up after
// ConnectTimeout.
constexpr auto FirstRetry = 250ms;
constexpr auto LastRetry = 1000ms;
constexpr auto ConnectTimeout = 2000ms;
// How often olad is asked whether the universe reaches a device (and whether it still answers).
constexpr auto CheckInterval = 2000ms;
// An answer later than this reports olad as stalled; it is still waited for, on the same
// connection, and the frames go on the moment it comes.
constexpr auto AnswerTimeout = 2000ms;
// A frame the connection could not take whole is tried again this soon.
constexpr auto FullRetry = 50ms;

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
};

namespace {

// The sender thread's side: one session with olad, the device check as a chain of answers that
// may come late, and the frames.
class Sender {
public:
    explicit Sender(OlaDmxPort::Shared& shared) : m_shared(shared), m_session(shared.olaPort) {}
    void run();

private:
    enum class Asking { Nothing, Devices, Patch, DevicesAfterPatch };

    bool connect();
    void startCheck();
    void onDevices(const std::optional<std::vector<OlaDevices::Device>>& devices);
    void finishCheck(State state);
    // Sends the newest pair when it is new or due again; returns when the frames want attention next.
    Clock::time_point sendFrame(Clock::time_point now);

    OlaDmxPort::Shared& m_shared;
    OlaSession m_session;
    bool m_open = false;
    Clock::duration m_retry = FirstRetry;
    Clock::time_point m_nextConnect = Clock::now();
    Clock::time_point m_nextCheck = Clock::now();
    Asking m_asking = Asking::Nothing;
    Clock::time_point m_askedAt;
    bool m_overdue = false;
    bool m_drop = false; // an answer said olad is unusable: close after run() returns
    std::uint32_t m_sent = 0;
    Clock::time_point m_lastSend;
};

bool Sender::connect() {
    if (!m_session.open(ConnectTimeout, [this] { return m_shared.stop.load(); })) {
        m_shared.state = Failed;
        m_nextConnect = Clock::now() + m_retry;
        m_retry = std::min<Clock::duration>(m_retry * 2, LastRetry);
        return false;
    }
    m_open = true;
    m_retry = FirstRetry;
    m_sent = 0; // the last frame goes out again at once
    m_nextCheck = Clock::now();
    return true;
}

// Patches (with --ola-patch), then asks whether the universe reaches a device. A stalled olad
// still accepts connections (the kernel does), so only an answer counts.
void Sender::startCheck() {
    m_asking = Asking::Devices;
    m_askedAt = Clock::now();
    m_session.fetchDevices([this](const auto& devices, const QString&) { onDevices(devices); });
}

void Sender::onDevices(const std::optional<std::vector<OlaDevices::Device>>& devices) {
    if (!devices) {
        m_drop = true;
        return;
    }
    const unsigned target = static_cast<unsigned>(m_shared.universe);
    if (m_shared.patch && m_asking == Asking::Devices) {
        const OlaDevices::Device* device = OlaDevices::find(*devices, m_shared.patch->device);
        const OlaDevices::OutputPort* output =
            device ? OlaDevices::findOutput(*device, m_shared.patch->port) : nullptr;
        if (!output)
            return finishCheck(PatchFailed);
        if (output->universe != target) {
            m_asking = Asking::Patch;
            m_session.patch(device->alias, output->id, target, [this](bool patched, const QString&) {
                if (!patched)
                    return finishCheck(PatchFailed);  // refused
                m_asking = Asking::DevicesAfterPatch; // read back what olad made of it
                m_session.fetchDevices([this](const auto& after, const QString&) { onDevices(after); });
            });
            return;
        }
    }
    finishCheck(OlaDevices::reaches(*devices, target) ? Connected : NoDevice);
}

void Sender::finishCheck(State state) {
    m_shared.state = state;
    m_asking = Asking::Nothing;
    m_overdue = false;
    m_nextCheck = Clock::now() + CheckInterval;
}

Clock::time_point Sender::sendFrame(Clock::time_point now) {
    const std::uint32_t pair = m_shared.latest.load();
    // Nothing published yet, or olad not reading: frames would only fill the connection.
    if (pair == 0 || m_overdue)
        return now + LastRetry;
    if (pair != m_sent || now - m_lastSend >= RepeatInterval) {
        const OlaDmxPort::Frame dmx =
            OlaDmxPort::frame(quint8(pair >> 8), quint8(pair), m_shared.address, m_shared.level);
        if (!m_session.sendDmx(static_cast<unsigned>(m_shared.universe), dmx.data(), OlaDmxPort::FrameSize))
            return now + FullRetry;
        m_sent = pair;
        m_lastSend = now;
    }
    return m_lastSend + RepeatInterval;
}

void Sender::run() {
    while (!m_shared.stop.load()) {
        Clock::time_point now = Clock::now();
        if (!m_session.isOpen()) {
            if (m_open) { // olad closed the connection: its answers will not come
                m_open = false;
                m_asking = Asking::Nothing;
                m_overdue = false;
                m_shared.state = Failed;
                m_nextConnect = now + m_retry;
            }
            if (now < m_nextConnect) {
                m_session.run(std::chrono::duration_cast<std::chrono::milliseconds>(m_nextConnect - now),
                              m_shared.wakeFd);
                std::uint64_t count;
                [[maybe_unused]] const ssize_t n = ::read(m_shared.wakeFd, &count, sizeof count);
                continue;
            }
            if (!connect())
                continue;
            now = Clock::now();
        }
        if (m_asking == Asking::Nothing && (m_shared.checkNow.exchange(false) || now >= m_nextCheck))
            startCheck();
        if (m_asking != Asking::Nothing && !m_overdue && now - m_askedAt >= AnswerTimeout) {
            m_overdue = true;
            m_shared.state = Failed;
        }
        m_shared.wakePending = false;
        Clock::time_point wakeAt = sendFrame(now);
        if (m_asking == Asking::Nothing)
            wakeAt = std::min(wakeAt, m_nextCheck);
        else if (!m_overdue)
            wakeAt = std::min(wakeAt, m_askedAt + AnswerTimeout);
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(wakeAt - now);
        m_session.run(std::clamp<std::chrono::milliseconds>(wait + 1ms, 0ms, 1000ms), m_shared.wakeFd);
        std::uint64_t count;
        [[maybe_unused]] const ssize_t n = ::read(m_shared.wakeFd, &count, sizeof count);
        if (m_drop) {
            m_drop = false;
            m_session.close();
        }
    }
    m_session.close();
}

} // namespace

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
    {
        Sender sender(*this);
        sender.run();
    }
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
        OutputFailure::inWindowOrNot(
            QStringLiteral("válasszon eszközt a Kimenet menü „DMX (OLA)…” ablakában, vagy adja meg a "
                           "--ola-patch ESZKÖZ:PORT kapcsolót (a lehetőségeket a ktr --list-outputs sorolja "
                           "fel)."),
            QStringLiteral(
                "adja meg a --ola-patch ESZKÖZ:PORT kapcsolót (a lehetőségeket a ktr --list-outputs "
                "sorolja fel; szolgáltatásnál az /etc/ktr/NÉV.conf KTR_OPTIONS sorában), vagy "
                "rendeljen portot az univerzumhoz az olad webes felületén.")) +
            QStringLiteral(" A program tovább küldi a jelet; amint az univerzumhoz eszköz kerül, a fények "
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
                           "közül ") +
                OutputFailure::inWindowOrNot(QStringLiteral("(a „DMX (OLA)…” ablakban vagy a --ola-patch "
                                                            "kapcsolóval)."),
                                             QStringLiteral("(a --ola-patch kapcsolóval).")),
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
