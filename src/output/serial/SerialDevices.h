#pragma once

#include "SerialSettings.h"

#include <QList>
#include <QString>

#include <sys/types.h>
#include <vector>

// Where the kernel shows its devices: sysfs and /dev. Tests hand in a tree of their own.
struct SerialRoots {
    QString sys = QStringLiteral("/sys");
    QString dev = QStringLiteral("/dev");
};

// A USB serial device present now (a CH340 relay board, an Arduino, a USB-serial cable), as sysfs
// and /dev/serial/by-id tell it.
struct SerialDevice {
    QString name;       // "ttyUSB0"
    QString node;       // "/dev/ttyUSB0"
    QString byId;       // "/dev/serial/by-id/usb-1a86_USB_Serial-if00-port0", empty when udev made none
    quint16 vendor = 0; // USB ids
    quint16 product = 0;
    QString manufacturer; // as the device names itself, may be empty
    QString productName;

    // The name to use: the by-id one survives re-plugging and another board taking ttyUSB0.
    QString path() const { return byId.isEmpty() ? node : byId; }
    QString idText() const; // "1a86:7523"
    // "CH340, 1a86:7523" or "Arduino Uno, 2341:0043"
    QString label() const;
    // The protocols its USB ids fit, the likeliest first. CH340 boards are LCUS relay boards and
    // Arduino clones alike.
    QList<SerialSettings::Protocol> protocols() const;
    // Whether path leads to this device (its node, its by-id name, or another link to it).
    bool matches(const QString& path) const;

    // The USB serial devices present, ttyACM and ttyUSB alike, in name order (ttyACM0 … ttyUSB10).
    static std::vector<SerialDevice> present(const SerialRoots& roots = {});
};

// What sysfs says a character device is: a terminal (class tty), something else, or nothing
// (no sysfs). Pseudo-terminals have no sysfs entry and count as terminals by their major number.
enum class TerminalClass { Terminal, Other, Unknown };
TerminalClass terminalClass(dev_t device, const SerialRoots& roots = {});
