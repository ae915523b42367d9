#pragma once

#include "output/StepPattern.h"

#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <array>
#include <optional>

// One effect as a value: the channels each of the 22 steps lights, the steps that take part, and
// the speed as the file holds it (empty when the file's speed line is). In the window the check
// boxes stay the one live copy; every other copy (a file read or about to be written, what the
// playing thread plays, undo's states, the unsaved mark's reference, the player's effect, a
// remote's view) is one of these.
class EffectGrid {
public:
    using Channels = quint16; // bit c - 1 is channel c
    static constexpr Channels AllChannels = (1u << ChannelCount) - 1;

    bool channel(int step, int channel) const { return m_rows[step - 1] >> (channel - 1) & 1u; }
    void setChannel(int step, int channel, bool on);
    Channels channels(int step) const { return m_rows[step - 1]; }
    void setChannels(int step, Channels channels) { m_rows[step - 1] = channels & AllChannels; }

    bool enabled(int step) const { return m_enables >> (step - 1) & 1u; }
    void setEnabled(int step, bool on);

    std::optional<qint16> speed() const { return m_speed; }
    void setSpeed(std::optional<qint16> speed) { m_speed = speed; }

    // The "x"/"0" text of a step, channel 1 first, as the file, the monitor and remotes write it.
    static QString channelText(Channels channels);
    // Exactly twelve "x"/"0" characters, else no value.
    static std::optional<Channels> channelsFromText(QStringView text);
    // The 22 enable flags as "x"/"0", step 1 first.
    QString enableText() const;

    // The boxes as they are now; only a box whose value is exactly 1 is on. The speed stays empty.
    static EffectGrid fromBoxes(const StepPattern& boxes);
    // Whether the boxes hold exactly these channels and enables (stops at the first difference).
    bool sameBoxesAs(const StepPattern& boxes) const;
    // Sets every box to this grid.
    void writeTo(StepPattern& boxes) const;
    // Sets only the boxes that differ between from and this grid, so that boxes both agree on (and
    // any change made to them meanwhile) are left alone.
    void writeChangesTo(const EffectGrid& from, StepPattern& boxes) const;

    bool sameBoxes(const EffectGrid& other) const {
        return m_rows == other.m_rows && m_enables == other.m_enables;
    }
    bool operator==(const EffectGrid& other) const { return sameBoxes(other) && m_speed == other.m_speed; }
    bool operator!=(const EffectGrid& other) const { return !(*this == other); }

private:
    std::array<Channels, StepCount> m_rows{};
    quint32 m_enables = 0;
    std::optional<qint16> m_speed;
};

// The channels a pair of register bytes lights, that is the connector pins it drives high: the
// data bits D7..D0 are channels 1..8, C3..C0 channels 9..12 with the inverted C3, C1 and C0
// undone. Every output that mirrors the pins, and every report of a played step, starts here.
EffectGrid::Channels channelsOfRegisters(quint8 data, quint8 control);
