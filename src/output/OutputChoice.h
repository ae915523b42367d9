#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class Port;
class QSettings;

// Which output the program plays to, with the DMX settings (kept even while another output is
// chosen). No widgets: the window and the headless player share it.
struct OutputChoice {
    enum class Kind { Parport, Ola, Screen };

    static constexpr int MinAddress = 1;
    static constexpr int MaxAddress = 501; // channel 12 lands on slot 512
    static constexpr int MinLevel = 1;
    static constexpr int MaxLevel = 255;
    static constexpr int MaxUniverse = 2147483647;
    static constexpr int DefaultOlaPort = 9010;

    Kind kind = Kind::Parport;
    QString device = QStringLiteral("/dev/parport0");
    int universe = 1;
    int address = 1;
    int level = 255;
    int olaPort = DefaultOlaPort;
    QString patch; // olad's output port patched to the universe at START, "DEVICE:PORT"; may be empty

    bool operator==(const OutputChoice& other) const;
    bool operator!=(const OutputChoice& other) const { return !(*this == other); }

    // The backend for this choice; the default choice gives exactly the old port.
    std::unique_ptr<Port> createPort() const;

    // Group "output" of the program's settings file; values out of range fall back to defaults.
    static OutputChoice load(QSettings& settings);
    void save(QSettings& settings) const;
    // The program's own settings file (~/.config/ktr/ktr.ini).
    static OutputChoice loadSaved();
    void saveAsDefault() const;

    // Applies "--output" (parport[:DEVICE] | ola[:UNIVERSE[:ADDRESS]] | screen) to this choice.
    // Returns false and sets error (Hungarian) when the value is malformed; then nothing changes.
    bool applyOutputOption(const QString& value, QString* error);
    // Applies "--ola-port PORT" (1..65535).
    bool applyOlaPortOption(const QString& value, QString* error);
    // Applies "--ola-patch DEVICE:PORT".
    bool applyOlaPatchOption(const QString& value, QString* error);

    // The parallel-port devices to offer: /dev/parport0 first, present or not, then the others.
    static QStringList parportDevices();
};
