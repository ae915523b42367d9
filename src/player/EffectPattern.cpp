#include "EffectPattern.h"

void EffectPattern::setHighlight(int step, bool red) {
    if (red)
        m_playing = step;
    else if (m_playing == step)
        m_playing = 0;
}
