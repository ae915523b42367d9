#pragma once

#include "output/OutputMonitor.h"
#include "output/StepPattern.h"

#include <QList>
#include <QString>

#include <array>

// Plain-array stand-in for the main window's boxes and monitor list.
class FakeStepPattern : public StepPattern, public MonitorView {
public:
    int channelBox(int step, int channel) const override { return channels[step - 1][channel - 1]; }
    void setChannelBox(int step, int channel, int value) override { channels[step - 1][channel - 1] = value; }
    int enableBox(int step) const override { return enables[step - 1]; }
    void setEnableBox(int step, int value) override { enables[step - 1] = value; }
    void setHighlight(int step, bool red) override { highlights[step - 1] = red; }
    void setMonitorLine(const QString& line) override { monitorLines.append(line); }

    // Sets the channels of step from a 12-character "x"/"0" text.
    void setRow(int step, const QString& row);
    // Enables exactly the listed steps.
    void enableOnly(const QList<int>& steps);
    // Steps whose marker is red, ascending.
    QList<int> redSteps() const;

    std::array<std::array<int, ChannelCount>, StepCount> channels{};
    std::array<int, StepCount> enables{};
    std::array<bool, StepCount> highlights{};
    QList<QString> monitorLines;
};
