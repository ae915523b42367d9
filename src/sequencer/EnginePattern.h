#pragma once

#include "BoxSnapshot.h"
#include "output/OutputMonitor.h"
#include "output/StepPattern.h"

#include <QtGlobal>

// What the tick sees on the playback thread: the boxes as of the snapshot taken at the start of
// the tick, and a record of what it would have shown (the red marker, the monitor line), which the
// engine hands to the window afterwards. Nothing here allocates or locks.
class EnginePattern : public StepPattern, public MonitorView {
public:
    void use(const BoxSnapshot& snapshot) { m_snapshot = &snapshot; }

    int channelBox(int step, int channel) const override {
        return m_snapshot->channels[step - 1][channel - 1];
    }
    int enableBox(int step) const override { return m_snapshot->enables[step - 1]; }
    // The tick never writes boxes; edits come from the window through snapshots.
    void setChannelBox(int, int, int) override {}
    void setEnableBox(int, int) override {}

    void setHighlight(int step, bool red) override;
    void setMonitorLine(const QString& line) override;

    int redStep() const { return m_redStep; } // 0: no marker
    // The monitor line as bits, channel 1 = bit 11, with bit 12 set once a line has been shown.
    quint32 monitorBits() const { return m_monitorBits; }

    static constexpr quint32 HasLine = 1u << 12;
    static QString lineFromBits(quint32 bits);

private:
    static const BoxSnapshot emptySnapshot;
    const BoxSnapshot* m_snapshot = &emptySnapshot;
    int m_redStep = 0;
    quint32 m_monitorBits = 0;
};
