#pragma once

#include "SerialSettings.h"

#include <QByteArray>

#include <array>
#include <optional>

// The bytes of each protocol for the twelve pins (channel 1 first, true: a high pin). Pure: what
// the line already carries is the caller's to say.
class SerialFrames {
public:
    using Pins = std::array<bool, 12>;
    static constexpr int LcusRelays = 8;

    SerialFrames(SerialSettings::Protocol protocol, QByteArray header, QByteArray footer);
    // From settings whose header and footer have been checked.
    static SerialFrames from(const SerialSettings& settings);

    // The bytes that bring the board to pins. known: what the board was last sent, if anything.
    // lcus sends a command only for the relays that differ from known (all eight without it);
    // generic and renard always send the whole frame.
    QByteArray frame(const Pins& pins, const std::optional<Pins>& known = std::nullopt) const;
    // Whether the protocol sends its frame again while nothing changes (generic, renard).
    bool resends() const { return m_protocol != SerialSettings::Protocol::Lcus; }

    // One LCUS command: relay k (1..8) on or off.
    static QByteArray lcusCommand(int relay, bool on);

private:
    SerialSettings::Protocol m_protocol;
    QByteArray m_header;
    QByteArray m_footer;
};
