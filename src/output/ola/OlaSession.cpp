#include "OlaSession.h"

#include <ola/Callback.h>
#include <ola/Clock.h>
#include <ola/DmxBuffer.h>
#include <ola/client/OlaClient.h>
#include <ola/io/SelectServer.h>
#include <ola/network/TCPSocket.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

std::vector<OlaDevices::Device> converted(const std::vector<ola::client::OlaDevice>& devices) {
    std::vector<OlaDevices::Device> result;
    for (const ola::client::OlaDevice& device : devices) {
        OlaDevices::Device entry;
        entry.id = text(device.Id());
        entry.alias = device.Alias();
        entry.name = text(device.Name());
        for (const ola::client::OlaOutputPort& port : device.OutputPorts()) {
            OlaDevices::OutputPort output;
            output.id = port.Id();
            output.description = text(port.Description());
            if (output.description.isEmpty()) // Art-Net's ports until patched
                output.description = QStringLiteral("%1. kimeneti port").arg(output.id);
            if (port.IsActive())
                output.universe = port.Universe();
            entry.outputs.push_back(output);
        }
        result.push_back(entry);
    }
    return result;
}

// A non-blocking connect to 127.0.0.1:port, given up after timeout. The descriptor, or -1 with
// errno set.
int connectWithin(int port, std::chrono::milliseconds timeout, const std::function<bool()>& stop) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    const auto fail = [fd](int error) {
        ::close(fd);
        errno = error;
        return -1;
    };
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return fd;
    if (errno != EINPROGRESS)
        return fail(errno);
    const auto end = Clock::now() + timeout;
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0 || (stop && stop()))
            return fail(ETIMEDOUT);
        pollfd writable{fd, POLLOUT, 0};
        // In slices, so that a port being closed need not wait for the whole time-out.
        if (::poll(&writable, 1, int(std::min<long long>(left, 100))) > 0)
            break;
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
        return fail(error ? error : errno);
    return fd;
}

} // namespace

struct OlaSession::Impl {
    ola::io::SelectServer server;
    std::unique_ptr<ola::network::TCPSocket> socket;
    std::unique_ptr<ola::client::OlaClient> client;
    bool closed = false;
    // OLA runs the close handler (which deletes itself) when olad closes the connection, and never
    // deletes it otherwise: an unused one is ours to delete.
    ola::SingleUseCallback0<void>* closeHandler = nullptr;
    DevicesAnswer devicesAnswer;
    PatchAnswer patchAnswer;
    ola::DmxBuffer buffer;

    ~Impl() {
        if (client) {
            server.RemoveReadDescriptor(socket.get()); // a warning at most when olad closed it
            client->Stop();
            client.reset();
        }
        if (!closed)
            delete closeHandler;
    }

    void onClose() { closed = true; }
    void onDevices(const ola::client::Result& result, const std::vector<ola::client::OlaDevice>& list) {
        const DevicesAnswer answer = std::move(devicesAnswer);
        devicesAnswer = nullptr;
        if (!answer)
            return;
        if (result.Success())
            answer(converted(list), QString());
        else
            answer(std::nullopt, QStringLiteral("az olad hibát jelzett: %1").arg(text(result.Error())));
    }
    void onPatch(const ola::client::Result& result) {
        const PatchAnswer answer = std::move(patchAnswer);
        patchAnswer = nullptr;
        if (answer)
            answer(result.Success(),
                   result.Success() ? QString()
                                    : QStringLiteral("az olad elutasította: %1").arg(text(result.Error())));
    }
};

OlaSession::OlaSession(int olaPort) : m_olaPort(olaPort) {}

OlaSession::~OlaSession() = default;

bool OlaSession::open(std::chrono::milliseconds timeout, const std::function<bool()>& stop) {
    close();
    // A write to a connection olad closed must fail, not end the program.
    struct sigaction pipe {};
    if (::sigaction(SIGPIPE, nullptr, &pipe) == 0 && pipe.sa_handler == SIG_DFL)
        std::signal(SIGPIPE, SIG_IGN);
    const int fd = connectWithin(m_olaPort, timeout, stop);
    if (fd < 0) {
        m_error = QStringLiteral("az olad nem érhető el (port: %1)").arg(m_olaPort);
        if (errno == ETIMEDOUT)
            m_error += QStringLiteral(", a kapcsolódás nem sikerült %1 másodperc alatt")
                           .arg(timeout.count() / 1000.0);
        return false;
    }
    auto impl = std::make_unique<Impl>();
    impl->socket = std::make_unique<ola::network::TCPSocket>(fd);
    impl->client = std::make_unique<ola::client::OlaClient>(impl->socket.get());
    if (!impl->client->Setup()) {
        impl->client.reset();
        m_error = QStringLiteral("az olad nem érhető el (port: %1)").arg(m_olaPort);
        return false;
    }
    impl->closeHandler = ola::NewSingleCallback(impl.get(), &Impl::onClose);
    impl->client->SetCloseHandler(impl->closeHandler);
    impl->server.AddReadDescriptor(impl->socket.get());
    m_impl = std::move(impl);
    return true;
}

bool OlaSession::isOpen() const {
    return m_impl && !m_impl->closed;
}

void OlaSession::close() {
    m_impl.reset();
}

void OlaSession::fetchDevices(DevicesAnswer answer) {
    if (!isOpen())
        return;
    m_impl->devicesAnswer = std::move(answer);
    m_impl->client->FetchDeviceInfo(ola::OLA_PLUGIN_ALL,
                                    ola::NewSingleCallback(m_impl.get(), &Impl::onDevices));
}

void OlaSession::patch(unsigned alias, unsigned port, unsigned universe, PatchAnswer answer) {
    if (!isOpen())
        return;
    m_impl->patchAnswer = std::move(answer);
    m_impl->client->Patch(alias, port, ola::client::OUTPUT_PORT, ola::client::PATCH, universe,
                          ola::NewSingleCallback(m_impl.get(), &Impl::onPatch));
}

bool OlaSession::sendDmx(unsigned universe, const std::uint8_t* slots, unsigned count) {
    if (!isOpen())
        return false;
    pollfd writable{m_impl->socket->WriteDescriptor(), POLLOUT, 0};
    if (::poll(&writable, 1, 0) <= 0 || !(writable.revents & POLLOUT))
        return false;
    m_impl->buffer.Set(slots, count);
    m_impl->client->SendDMX(universe, m_impl->buffer, ola::client::SendDMXArgs());
    return isOpen(); // a frame that did not fit whole closes the connection
}

void OlaSession::run(std::chrono::milliseconds timeout, int wake) {
    if (!isOpen()) {
        if (wake >= 0) {
            pollfd woken{wake, POLLIN, 0};
            ::poll(&woken, 1, int(timeout.count()));
        }
        return;
    }
    pollfd fds[2] = {{m_impl->socket->ReadDescriptor(), POLLIN, 0}, {wake, POLLIN, 0}};
    if (::poll(fds, wake >= 0 ? 2 : 1, int(timeout.count())) > 0 && fds[0].revents)
        m_impl->server.RunOnce(ola::TimeInterval(0, 0));
}
