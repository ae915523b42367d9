#include "OlaDevices.h"

#include <ola/Callback.h>
#include <ola/Clock.h>
#include <ola/client/OlaClient.h>
#include <ola/io/SelectServer.h>
#include <ola/network/IPV4Address.h>
#include <ola/network/SocketAddress.h>
#include <ola/network/TCPSocket.h>

#include <chrono>
#include <csignal>

struct OlaDevices::Client {
    ola::io::SelectServer server;
    std::unique_ptr<ola::network::TCPSocket> socket;
    std::unique_ptr<ola::client::OlaClient> client;
    bool closed = false;
    // OLA runs the close handler (which deletes itself) when olad closes the connection, and never
    // deletes it otherwise: an unused one is ours to delete.
    ola::SingleUseCallback0<void>* closeHandler = nullptr;
    bool answered = false;
    std::string failure;
    std::vector<ola::client::OlaDevice> devices;

    ~Client() {
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
        answered = true;
        failure = result.Error();
        devices = list;
    }
    void onSet(const ola::client::Result& result) {
        answered = true;
        failure = result.Error();
    }

    // Runs the select loop until the pending request is answered, the connection closes or the
    // time is up. False unless answered.
    bool wait(int timeoutMs) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!answered && !closed) {
            const auto left =
                std::chrono::duration_cast<std::chrono::microseconds>(end - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return false;
            server.RunOnce(ola::TimeInterval(static_cast<int64_t>(left.count())));
        }
        return answered;
    }
};

namespace {

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

QString unreachable(int port) {
    return QStringLiteral("az olad nem érhető el (port: %1)").arg(port);
}

} // namespace

OlaDevices::OlaDevices(int olaPort, int timeoutMs) : m_olaPort(olaPort), m_timeoutMs(timeoutMs) {}

OlaDevices::~OlaDevices() = default;

bool OlaDevices::connect() {
    if (m_client && !m_client->closed)
        return true;
    // A write to a connection olad closed must fail, not end the program.
    struct sigaction pipe {};
    if (::sigaction(SIGPIPE, nullptr, &pipe) == 0 && pipe.sa_handler == SIG_DFL)
        std::signal(SIGPIPE, SIG_IGN);
    m_client = std::make_unique<Client>();
    m_client->socket.reset(ola::network::TCPSocket::Connect(ola::network::IPV4SocketAddress(
        ola::network::IPV4Address::Loopback(), static_cast<std::uint16_t>(m_olaPort))));
    if (!m_client->socket) {
        m_client.reset();
        m_error = unreachable(m_olaPort);
        return false;
    }
    m_client->client = std::make_unique<ola::client::OlaClient>(m_client->socket.get());
    if (!m_client->client->Setup()) {
        m_client->client.reset();
        m_client.reset();
        m_error = unreachable(m_olaPort);
        return false;
    }
    m_client->closeHandler = ola::NewSingleCallback(m_client.get(), &Client::onClose);
    m_client->client->SetCloseHandler(m_client->closeHandler);
    m_client->server.AddReadDescriptor(m_client->socket.get());
    return true;
}

void OlaDevices::disconnect() {
    m_client.reset();
}

std::optional<std::vector<OlaDevices::Device>> OlaDevices::devices() {
    if (!connect())
        return std::nullopt;
    m_client->answered = false;
    m_client->client->FetchDeviceInfo(ola::OLA_PLUGIN_ALL,
                                      ola::NewSingleCallback(m_client.get(), &Client::onDevices));
    if (!m_client->wait(m_timeoutMs)) {
        const bool closed = m_client->closed;
        disconnect();
        m_error = closed ? unreachable(m_olaPort)
                         : QStringLiteral("az olad (port: %1) nem válaszol %2 másodperce")
                               .arg(m_olaPort)
                               .arg(m_timeoutMs / 1000.0);
        return std::nullopt;
    }
    if (!m_client->failure.empty()) {
        m_error = QStringLiteral("az olad hibát jelzett: %1").arg(text(m_client->failure));
        return std::nullopt;
    }
    std::vector<Device> result;
    for (const ola::client::OlaDevice& device : m_client->devices) {
        Device entry;
        entry.id = text(device.Id());
        entry.alias = device.Alias();
        entry.name = text(device.Name());
        for (const ola::client::OlaOutputPort& port : device.OutputPorts()) {
            OutputPort output;
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

bool OlaDevices::patch(unsigned alias, unsigned port, unsigned universe) {
    if (!connect())
        return false;
    m_client->answered = false;
    m_client->client->Patch(alias, port, ola::client::OUTPUT_PORT, ola::client::PATCH, universe,
                            ola::NewSingleCallback(m_client.get(), &Client::onSet));
    if (!m_client->wait(m_timeoutMs)) {
        disconnect();
        m_error = QStringLiteral("az olad (port: %1) nem válaszol").arg(m_olaPort);
        return false;
    }
    if (!m_client->failure.empty()) {
        m_error = QStringLiteral("az olad elutasította: %1").arg(text(m_client->failure));
        return false;
    }
    return true;
}

std::optional<OlaDevices::PatchTarget> OlaDevices::parsePatch(const QString& text) {
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return std::nullopt;
    bool ok = false;
    const QString portText = text.mid(colon + 1);
    const uint port = portText.toUInt(&ok);
    if (!ok || portText.isEmpty() || !portText.at(0).isDigit())
        return std::nullopt;
    PatchTarget target;
    target.device = text.left(colon);
    target.port = port;
    if (target.device.trimmed() != target.device)
        return std::nullopt;
    return target;
}

const OlaDevices::Device* OlaDevices::find(const std::vector<Device>& devices, const QString& device) {
    bool number = false;
    const uint alias = device.toUInt(&number);
    for (const Device& entry : devices) {
        if (entry.id == device || (number && entry.alias == alias))
            return &entry;
    }
    return nullptr;
}

const OlaDevices::OutputPort* OlaDevices::findOutput(const Device& device, unsigned port) {
    for (const OutputPort& output : device.outputs) {
        if (output.id == port)
            return &output;
    }
    return nullptr;
}

bool OlaDevices::reaches(const std::vector<Device>& devices, unsigned universe) {
    for (const Device& device : devices) {
        for (const OutputPort& output : device.outputs) {
            if (output.universe == universe)
                return true;
        }
    }
    return false;
}
