#include "SerialFrames.h"

#include <utility>

namespace {

constexpr char RenardSync = char(0x7E);
constexpr char RenardFirstAddress = char(0x80);

} // namespace

SerialFrames::SerialFrames(SerialSettings::Protocol protocol, QByteArray header, QByteArray footer)
    : m_protocol(protocol), m_header(std::move(header)), m_footer(std::move(footer)) {}

SerialFrames SerialFrames::from(const SerialSettings& settings) {
    if (settings.protocol != SerialSettings::Protocol::Generic)
        return {settings.protocol, {}, {}};
    return {settings.protocol, SerialSettings::frameBytes(settings.header, nullptr).value_or(QByteArray()),
            SerialSettings::frameBytes(settings.footer, nullptr).value_or(QByteArray())};
}

QByteArray SerialFrames::lcusCommand(int relay, bool on) {
    const auto state = static_cast<unsigned char>(on ? 1 : 0);
    const auto number = static_cast<unsigned char>(relay);
    const char command[4] = {char(0xA0), char(number), char(state), char((0xA0 + number + state) & 0xFF)};
    return QByteArray(command, 4);
}

QByteArray SerialFrames::frame(const Pins& pins, const std::optional<Pins>& known) const {
    QByteArray bytes;
    switch (m_protocol) {
    case SerialSettings::Protocol::Lcus:
        for (int k = 0; k < LcusRelays; ++k) {
            if (!known || (*known)[k] != pins[k])
                bytes += lcusCommand(k + 1, pins[k]);
        }
        return bytes;
    case SerialSettings::Protocol::Generic:
        bytes = m_header;
        for (const bool high : pins)
            bytes += high ? char(0xFF) : char(0x00);
        return bytes + m_footer;
    case SerialSettings::Protocol::Renard:
        // Only 00 and FF are ever sent, so none of Renard's escaped values (7D, 7E, 7F) occurs.
        bytes += RenardSync;
        bytes += RenardFirstAddress;
        for (const bool high : pins)
            bytes += high ? char(0xFF) : char(0x00);
        return bytes;
    }
    return bytes;
}
