#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class OlaSession;

// olad's devices and its patch panel, asked synchronously over a connection of its own (an
// OlaSession): each call waits for olad's answer at most timeoutMs, then drops the connection (an
// olad that accepted it but stopped reading). For the dialog and the listing; the DMX sender asks
// on its own session without waiting. Not thread-safe: one thread uses one instance. OLA's
// headers stay out of this one, so that Qt code can include it.
class OlaDevices {
public:
    static constexpr int DefaultTimeoutMs = 2000;

    struct OutputPort {
        unsigned id = 0;
        QString description;
        std::optional<unsigned> universe; // none: free
    };
    struct Device {
        QString id;         // olad's stable id, e.g. "2-1"
        unsigned alias = 0; // olad's device number, for patching
        QString name;
        std::vector<OutputPort> outputs;
    };
    // "DEVICE:PORT" as --ola-patch and the settings file give it.
    struct PatchTarget {
        QString device; // an id ("2-1") or a device number
        unsigned port = 0;
        bool operator==(const PatchTarget& other) const {
            return device == other.device && port == other.port;
        }
        QString text() const { return device + QLatin1Char(':') + QString::number(port); }
    };

    explicit OlaDevices(int olaPort, int timeoutMs = DefaultTimeoutMs);
    ~OlaDevices();
    OlaDevices(const OlaDevices&) = delete;
    OlaDevices& operator=(const OlaDevices&) = delete;

    // Every device with its output ports; none when olad cannot be reached or does not answer
    // (error() says which, in Hungarian).
    std::optional<std::vector<Device>> devices();
    // Patches output port `port` of the device numbered `alias` to universe. False with error().
    bool patch(unsigned alias, unsigned port, unsigned universe);
    // Closes the connection; the next call opens a new one. A call that was not answered in time
    // closes it too.
    void disconnect();
    bool connected() const;
    QString error() const { return m_error; }

    static std::optional<PatchTarget> parsePatch(const QString& text);
    static const Device* find(const std::vector<Device>& devices, const QString& device);
    static const OutputPort* findOutput(const Device& device, unsigned port);
    // Whether some output port is patched to universe.
    static bool reaches(const std::vector<Device>& devices, unsigned universe);

private:
    bool connect();
    bool await(const std::function<bool()>& answered, const QString& unanswered);

    int m_olaPort;
    int m_timeoutMs;
    std::unique_ptr<OlaSession> m_session;
    QString m_error;
};
