#include "EffectPattern.h"

int EffectPattern::channelBox(int step, int channel) const {
    return m_effect.channels[step - 1][channel - 1] ? 1 : 0;
}

void EffectPattern::setChannelBox(int step, int channel, int value) {
    m_effect.channels[step - 1][channel - 1] = value == 1;
}

int EffectPattern::enableBox(int step) const {
    return m_effect.enables[step - 1] ? 1 : 0;
}

void EffectPattern::setEnableBox(int step, int value) {
    m_effect.enables[step - 1] = value == 1;
}

void EffectPattern::setHighlight(int step, bool red) {
    if (red)
        m_playing = step;
    else if (m_playing == step)
        m_playing = 0;
}
