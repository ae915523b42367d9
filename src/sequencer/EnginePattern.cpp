#include "EnginePattern.h"

const EffectGrid EnginePattern::emptyGrid{};

void EnginePattern::setHighlight(int step, bool red) {
    if (red)
        m_redStep = step;
    else if (m_redStep == step)
        m_redStep = 0;
}

void EnginePattern::setMonitorLine(const QString& line) {
    m_monitorBits = HasLine | EffectGrid::channelsFromText(line).value_or(0);
}
