#pragma once

#include "output/OutputBackend.h"

#include <QByteArray>
#include <QString>

#include <optional>

// A relay board on a serial line: `serial:DEVICE:PROTOCOL[:BAUD]` on the command line, the keys
// serialDevice, serialProtocol, serialBaud, serialHeader and serialFooter of the output settings
// (and of group "output" in ktr.ini).
struct SerialSettings {
    enum class Protocol {
        Lcus,    // CH340 "LCUS" relay boards: A0 k s sum per relay that changes
        Generic, // header, twelve bytes 0/255, footer (Vixen, xLights, Falcon Player sketches)
        Renard,  // 7E 80, twelve bytes 00/FF
    };
    static constexpr int MaxFrameText = 64; // bytes of a header or footer

    QString device = QStringLiteral("/dev/ttyUSB0");
    Protocol protocol = Protocol::Lcus;
    int baud = 0; // 0: the protocol's own rate
    // As typed, with \xNN for any byte and \\ for a backslash (generic only).
    QString header;
    QString footer;

    bool operator==(const SerialSettings& other) const {
        return device == other.device && protocol == other.protocol && baud == other.baud &&
               header == other.header && footer == other.footer;
    }
    bool operator!=(const SerialSettings& other) const { return !(*this == other); }

    int effectiveBaud() const { return baud ? baud : defaultBaud(protocol); }
    static int defaultBaud(Protocol protocol);
    static QString protocolName(Protocol protocol); // "lcus", "generic", "renard"
    static std::optional<Protocol> protocolNamed(const QString& name);
    static const QList<int>& baudRates(); // the rates a serial line can be set to, slowest first

    static inline const QString DeviceKey = QStringLiteral("serialDevice");
    static inline const QString ProtocolKey = QStringLiteral("serialProtocol");
    static inline const QString BaudKey = QStringLiteral("serialBaud");
    static inline const QString HeaderKey = QStringLiteral("serialHeader");
    static inline const QString FooterKey = QStringLiteral("serialFooter");

    // "DEVICE:PROTOCOL[:BAUD]", what follows "serial:". DEVICE may itself hold colons (the
    // /dev/serial/by-path names do): the parts are taken from the right. Nothing, and a Hungarian
    // error, when malformed.
    static std::optional<SerialSettings> parse(const QString& arguments, QString* error);
    // "serial:DEVICE:PROTOCOL[:BAUD]"
    QString toString() const;
    // A device as given: an absolute path, or a bare name under /dev.
    static std::optional<QString> devicePath(const QString& text);

    // The bytes of a header or footer text: \xNN (two hex digits) is that byte, \\ a backslash,
    // anything else its UTF-8. Nothing, and a Hungarian error, for a bad escape or more than
    // MaxFrameText bytes.
    static std::optional<QByteArray> frameBytes(const QString& text, QString* error);

    // Values that do not parse fall back to the defaults, key by key.
    static SerialSettings from(const OutputSettings& settings);
    void storeIn(OutputSettings& settings) const;
    static bool validSetting(const QString& key, const QString& value);

    // For the player's start line: "soros port (/dev/ttyUSB0, lcus, 9600 baud)".
    QString description() const;
};
