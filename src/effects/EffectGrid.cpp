#include "EffectGrid.h"

void EffectGrid::setChannel(int step, int channel, bool on) {
    const Channels bit = Channels(1u << (channel - 1));
    m_rows[step - 1] = on ? Channels(m_rows[step - 1] | bit) : Channels(m_rows[step - 1] & ~bit);
}

void EffectGrid::setEnabled(int step, bool on) {
    const quint32 bit = 1u << (step - 1);
    m_enables = on ? m_enables | bit : m_enables & ~bit;
}

QString EffectGrid::channelText(Channels channels) {
    QString text(ChannelCount, QLatin1Char('0'));
    for (int c = 0; c < ChannelCount; ++c) {
        if (channels >> c & 1u)
            text[c] = QLatin1Char('x');
    }
    return text;
}

std::optional<EffectGrid::Channels> EffectGrid::channelsFromText(QStringView text) {
    if (text.size() != ChannelCount)
        return std::nullopt;
    Channels channels = 0;
    for (int c = 0; c < ChannelCount; ++c) {
        if (text[c] == QLatin1Char('x'))
            channels |= Channels(1u << c);
        else if (text[c] != QLatin1Char('0'))
            return std::nullopt;
    }
    return channels;
}

QString EffectGrid::enableText() const {
    QString text(StepCount, QLatin1Char('0'));
    for (int step = 1; step <= StepCount; ++step) {
        if (enabled(step))
            text[step - 1] = QLatin1Char('x');
    }
    return text;
}

EffectGrid EffectGrid::fromBoxes(const StepPattern& boxes) {
    EffectGrid grid;
    for (int step = 1; step <= StepCount; ++step) {
        Channels row = 0;
        for (int channel = 1; channel <= ChannelCount; ++channel) {
            if (boxes.channelBox(step, channel) == 1)
                row |= Channels(1u << (channel - 1));
        }
        grid.m_rows[step - 1] = row;
        if (boxes.enableBox(step) == 1)
            grid.m_enables |= 1u << (step - 1);
    }
    return grid;
}

bool EffectGrid::sameBoxesAs(const StepPattern& boxes) const {
    for (int step = 1; step <= StepCount; ++step) {
        for (int channel = 1; channel <= ChannelCount; ++channel) {
            if ((boxes.channelBox(step, channel) == 1) != this->channel(step, channel))
                return false;
        }
        if ((boxes.enableBox(step) == 1) != enabled(step))
            return false;
    }
    return true;
}

void EffectGrid::writeTo(StepPattern& boxes) const {
    for (int step = 1; step <= StepCount; ++step) {
        for (int channel = 1; channel <= ChannelCount; ++channel)
            boxes.setChannelBox(step, channel, this->channel(step, channel) ? 1 : 0);
    }
    for (int step = 1; step <= StepCount; ++step)
        boxes.setEnableBox(step, enabled(step) ? 1 : 0);
}

void EffectGrid::writeChangesTo(const EffectGrid& from, StepPattern& boxes) const {
    for (int step = 1; step <= StepCount; ++step) {
        const Channels changed = from.channels(step) ^ channels(step);
        for (int channel = 1; changed && channel <= ChannelCount; ++channel) {
            if (changed >> (channel - 1) & 1u)
                boxes.setChannelBox(step, channel, this->channel(step, channel) ? 1 : 0);
        }
        if (from.enabled(step) != enabled(step))
            boxes.setEnableBox(step, enabled(step) ? 1 : 0);
    }
}

EffectGrid::Channels channelsOfRegisters(quint8 data, quint8 control) {
    constexpr quint8 InvertedControlBits = 0x0B; // C3, C1, C0 are inverted on the connector
    const quint8 controlHigh = control ^ InvertedControlBits;
    EffectGrid::Channels channels = 0;
    for (int k = 0; k < ChannelCount; ++k) {
        const bool high = k < 8 ? (data >> (7 - k)) & 1 : (controlHigh >> (11 - k)) & 1;
        if (high)
            channels |= EffectGrid::Channels(1u << k);
    }
    return channels;
}
