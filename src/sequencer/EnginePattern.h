#pragma once

#include "effects/EffectGrid.h"
#include "output/OutputMonitor.h"
#include "output/StepPattern.h"

#include <QtGlobal>

// What the tick sees on the playback thread: the boxes as of the grid taken at the start of the
// tick, and a record of what it would have shown (the red marker, the monitor line), which the
// engine hands to the window afterwards. Reading the boxes and keeping the marker neither
// allocates nor locks; the monitor line arrives as a text, which the tick has built already.
class EnginePattern : public StepPattern, public MonitorView {
public:
    void use(const EffectGrid& grid) { m_grid = &grid; }

    int channelBox(int step, int channel) const override { return m_grid->channel(step, channel) ? 1 : 0; }
    int enableBox(int step) const override { return m_grid->enabled(step) ? 1 : 0; }
    // The tick never writes boxes; edits come from the window through snapshots.
    void setChannelBox(int, int, int) override {}
    void setEnableBox(int, int) override {}

    void setHighlight(int step, bool red) override;
    void setMonitorLine(const QString& line) override;

    int redStep() const { return m_redStep; } // 0: no marker
    // The monitor line's channels, with HasLine set once a line has been shown.
    quint32 monitorBits() const { return m_monitorBits; }

    static constexpr quint32 HasLine = 1u << ChannelCount;
    static QString lineFromBits(quint32 bits) {
        return EffectGrid::channelText(EffectGrid::Channels(bits & EffectGrid::AllChannels));
    }

private:
    static const EffectGrid emptyGrid;
    const EffectGrid* m_grid = &emptyGrid;
    int m_redStep = 0;
    quint32 m_monitorBits = 0;
};
