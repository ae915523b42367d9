#pragma once

#include <QString>
#include <QtGlobal>

// State shared by the output and the effect-file code. It lives as long as the main window; the
// start values are those of a freshly started program.
struct Module1 {
    // Register values of the step last encoded (or 0 for data after START).
    qint16 dataValue = 0;
    qint16 controlValue = 203; // all four control pins low
    qint16 dataPort = 888;
    qint16 controlPort = 890;
    QString controlPattern = QStringLiteral("0000"); // channels 9..12 as "x"/"0"

    // Copies made on the way to the port by writePorts.
    double dataByte = 0;
    double controlByte = 0;

    // The current effect file; empty means there is none yet.
    QString effectPath;
    QString rowPattern = QStringLiteral("000000000000");
    QString enablePattern;
};
