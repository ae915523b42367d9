#pragma once

#include "GpioSettings.h"
#include "output/Port.h"

#include <array>
#include <memory>
#include <vector>

class GpioChip;

// Relay boards on GPIO lines, through libgpiod. The lines mirror the twelve pins the parallel
// port would drive: the data write is remembered, and the control write sets every line of the
// pair in one call, so the relays switch together like the port's two registers.
//
// The lines are requested (as outputs, consumer "ktr") at the first control write, with the pair's
// levels as their starting values, so no relay pulls in before the first step decides; they are
// released when the port is destroyed or retried after a failure.
class GpioPort : public Port {
public:
    explicit GpioPort(GpioSettings settings);
    ~GpioPort() override;

    const GpioSettings& settings() const { return m_settings; }

protected:
    bool write(int address, quint8 value) override;
    void reset() override;

private:
    std::vector<int> levels(quint8 control) const;
    void close();
    bool open(const std::vector<int>& startLevels);
    bool failOpen(int error);
    bool failRequest(int error);
    bool failWith(const QString& cause, const QString& remedy);

    GpioSettings m_settings;
    std::vector<unsigned> m_offsets;  // of the driven channels, channel 1 first
    std::vector<int> m_channels;      // the channel index of each offset
    std::unique_ptr<GpioChip> m_chip; // open while the lines are held
    bool m_holding = false;           // the lines are requested
    quint8 m_data = 0;
};
