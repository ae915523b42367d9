#include "OlaTestServer.h"

#include <ola/Callback.h>
#include <ola/DmxBuffer.h>
#include <ola/Logging.h>
#include <ola/client/OlaClient.h>
#include <ola/io/SelectServer.h>
#include <ola/network/IPV4Address.h>
#include <ola/network/SocketAddress.h>
#include <ola/network/TCPSocket.h>

#include <QDeadlineTimer>
#include <QFile>
#include <csignal>
#include <future>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const char* const Plugins[] = {
    "artnet",  "dummy",   "e131",    "espnet",           "ftdidmx", "gpio",     "karate",
    "kinet",   "milinst", "opendmx", "openpixelcontrol", "osc",     "pathport", "renard",
    "sandnet", "shownet", "spi",     "stageprofi",       "uartdmx", "usbdmx",   "usbserial"};

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    return address;
}

int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

bool accepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = loopback(port);
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

} // namespace

OlaTestServer::OlaTestServer() {
    QFile::setPermissions(m_config.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                               QFileDevice::WriteOther | QFileDevice::ExeOther);
    for (const char* plugin : Plugins) {
        QFile file(m_config.filePath(QStringLiteral("ola-%1.conf").arg(QLatin1String(plugin))));
        file.open(QIODevice::WriteOnly);
        file.write("enabled = false\n");
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther |
                            QFileDevice::WriteOther);
    }
    do
        m_port = freePort();
    while (m_port == 9010);
    m_olad.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

OlaTestServer::~OlaTestServer() {
    resume();
    kill();
}

bool OlaTestServer::start() {
    const QStringList arguments{QStringLiteral("-c"),        m_config.path(),
                                QStringLiteral("--no-http"), QStringLiteral("--no-register-with-dns-sd"),
                                QStringLiteral("-l"),        QStringLiteral("0"),
                                QStringLiteral("-r"),        QString::number(m_port)};
    // In the child, before olad starts: drop root for "nobody" (olad refuses root), then ask to be
    // killed with the test, so that a crashed test leaves no olad behind.
    const passwd* nobody = ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr;
    const uid_t uid = nobody ? nobody->pw_uid : 0;
    const gid_t gid = nobody ? nobody->pw_gid : 0;
    m_olad.setChildProcessModifier([uid, gid] {
        if (uid != 0) {
            if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
                ::_exit(127);
        }
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    });
    const QString program = QStringLiteral("olad");
    m_olad.start(program, arguments);
    if (!m_olad.waitForStarted())
        return false;
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        if (m_olad.state() != QProcess::Running)
            return false;
        if (accepts(m_port))
            return true;
        ::usleep(20000);
    }
    return false;
}

void OlaTestServer::kill() {
    if (m_olad.state() == QProcess::NotRunning)
        return;
    m_olad.kill();
    m_olad.waitForFinished();
}

void OlaTestServer::pause() {
    if (m_olad.processId() > 0)
        ::kill(static_cast<pid_t>(m_olad.processId()), SIGSTOP);
}

void OlaTestServer::resume() {
    if (m_olad.processId() > 0)
        ::kill(static_cast<pid_t>(m_olad.processId()), SIGCONT);
}

struct OlaFrameReader::Client {
    OlaFrameReader& reader;
    ola::io::SelectServer server;
    std::unique_ptr<ola::network::TCPSocket> socket;
    std::unique_ptr<ola::client::OlaClient> client;
    std::promise<bool> registered;

    explicit Client(OlaFrameReader& owner) : reader(owner) {}

    void onDmx(const ola::client::DMXMetadata&, const ola::DmxBuffer& data) {
        Frame frame;
        frame.arrived = Clock::now();
        unsigned int length = static_cast<unsigned>(frame.dmx.size());
        data.Get(frame.dmx.data(), &length);
        {
            std::lock_guard<std::mutex> guard(reader.m_lock);
            reader.m_frames.push_back(frame);
        }
        reader.m_arrived.notify_all();
    }
    void onRegistered(const ola::client::Result& result) { registered.set_value(result.Success()); }
};

OlaFrameReader::OlaFrameReader() = default;

bool OlaFrameReader::open(int port, unsigned universe) {
    ola::InitLogging(ola::OLA_LOG_NONE, ola::OLA_LOG_STDERR);
    m_client = std::make_unique<Client>(*this);
    m_client->socket.reset(ola::network::TCPSocket::Connect(
        ola::network::IPV4SocketAddress(ola::network::IPV4Address::Loopback(), static_cast<uint16_t>(port))));
    if (!m_client->socket)
        return false;
    m_client->client = std::make_unique<ola::client::OlaClient>(m_client->socket.get());
    if (!m_client->client->Setup())
        return false;
    m_client->server.AddReadDescriptor(m_client->socket.get());
    m_client->client->SetDMXCallback(ola::NewCallback(m_client.get(), &Client::onDmx));
    std::future<bool> registered = m_client->registered.get_future();
    m_client->client->RegisterUniverse(universe, ola::client::REGISTER,
                                       ola::NewSingleCallback(m_client.get(), &Client::onRegistered));
    m_thread = std::thread([this] { m_client->server.Run(); });
    return registered.wait_for(std::chrono::seconds(10)) == std::future_status::ready && registered.get();
}

OlaFrameReader::~OlaFrameReader() {
    if (m_thread.joinable()) {
        m_client->server.Terminate();
        m_thread.join();
    }
    if (m_client && m_client->client) {
        m_client->server.RemoveReadDescriptor(m_client->socket.get());
        m_client->client->Stop();
    }
}

std::vector<OlaFrameReader::Frame> OlaFrameReader::waitForFrames(std::size_t count,
                                                                 std::chrono::milliseconds deadline) {
    std::unique_lock<std::mutex> guard(m_lock);
    m_arrived.wait_for(guard, deadline, [&] { return m_frames.size() >= count; });
    return m_frames;
}

std::vector<OlaFrameReader::Frame> OlaFrameReader::frames() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_frames;
}
