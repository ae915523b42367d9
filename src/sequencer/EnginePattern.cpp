#include "EnginePattern.h"

const BoxSnapshot EnginePattern::emptySnapshot{};

void EnginePattern::setHighlight(int step, bool red) {
    if (red)
        m_redStep = step;
    else if (m_redStep == step)
        m_redStep = 0;
}

void EnginePattern::setMonitorLine(const QString& line) {
    quint32 bits = HasLine;
    for (int i = 0; i < ChannelCount && i < line.size(); ++i) {
        if (line[i] == QLatin1Char('x'))
            bits |= 1u << (ChannelCount - 1 - i);
    }
    m_monitorBits = bits;
}

QString EnginePattern::lineFromBits(quint32 bits) {
    QString line(ChannelCount, QLatin1Char('0'));
    for (int i = 0; i < ChannelCount; ++i) {
        if (bits & (1u << (ChannelCount - 1 - i)))
            line[i] = QLatin1Char('x');
    }
    return line;
}
