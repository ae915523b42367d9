#include "OlaDevices.h"

#include "OlaSession.h"

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

} // namespace

OlaDevices::OlaDevices(int olaPort, int timeoutMs) : m_olaPort(olaPort), m_timeoutMs(timeoutMs) {}

OlaDevices::~OlaDevices() = default;

bool OlaDevices::connect() {
    if (m_session && m_session->isOpen())
        return true;
    m_session = std::make_unique<OlaSession>(m_olaPort);
    if (m_session->open(std::chrono::milliseconds(m_timeoutMs)))
        return true;
    m_error = m_session->error();
    m_session.reset();
    return false;
}

void OlaDevices::disconnect() {
    m_session.reset();
}

bool OlaDevices::connected() const {
    return m_session != nullptr;
}

// Runs the session until answered() holds, olad closes the connection or the time is up; on the
// last two the connection is dropped (an answer left owing would come on it later) and error set.
bool OlaDevices::await(const std::function<bool()>& answered, const QString& unanswered) {
    const auto end = Clock::now() + std::chrono::milliseconds(m_timeoutMs);
    while (!answered() && m_session->isOpen()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        if (left.count() <= 0)
            break;
        m_session->run(left);
    }
    if (answered())
        return true;
    m_error =
        m_session->isOpen() ? unanswered : QStringLiteral("az olad nem érhető el (port: %1)").arg(m_olaPort);
    disconnect();
    return false;
}

std::optional<std::vector<OlaDevices::Device>> OlaDevices::devices() {
    if (!connect())
        return std::nullopt;
    bool answered = false;
    std::optional<std::vector<Device>> result;
    m_session->fetchDevices([&](const std::optional<std::vector<Device>>& devices, const QString& error) {
        answered = true;
        result = devices;
        m_error = error;
    });
    if (!await([&answered] { return answered; },
               QStringLiteral("az olad (port: %1) nem válaszol %2 másodperce")
                   .arg(m_olaPort)
                   .arg(m_timeoutMs / 1000.0)))
        return std::nullopt;
    return result;
}

bool OlaDevices::patch(unsigned alias, unsigned port, unsigned universe) {
    if (!connect())
        return false;
    bool answered = false;
    bool patched = false;
    m_session->patch(alias, port, universe, [&](bool done, const QString& error) {
        answered = true;
        patched = done;
        m_error = error;
    });
    if (!await([&answered] { return answered; },
               QStringLiteral("az olad (port: %1) nem válaszol").arg(m_olaPort)))
        return false;
    return patched;
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
