#pragma once

#include <QString>

struct Module1;

// Where the monitor line goes: the main window's one-line list, or a fake in tests.
class MonitorView {
public:
    virtual ~MonitorView() = default;
    virtual void setMonitorLine(const QString& line) = 0; // replaces the list's content
};

// Shows what the port was just sent as twelve "x"/"0" characters, channel 1 leftmost.
// Channels 1..8 come from dataValue through its hexadecimal digits; channels 9..12 from
// controlPattern, i.e. the channels' on/off state rather than the inverted register bits.
class OutputMonitor {
public:
    void updateMonitor(const Module1& module, MonitorView& view);

    // The line for the given values; updateMonitor shows exactly this.
    QString line(int dataValue, const QString& controlPattern);

    void padHex(QString& text);
    void hexToBits(const QString& text);
    void nibbleToBits(const QString& digit);

    // Working texts, kept between calls.
    QString hexText;
    int hexLength = 0;
    QString nibbleDigit;
    QString nibbleBits;
    QString dataBits;
};
