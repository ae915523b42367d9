#pragma once

#include "output/StepPattern.h"

#include <QByteArray>
#include <QList>

// An effect file whose step k lights the data bits of k + base, so that the port shows which
// step (and which of several effects) played; the listed steps take part, at the given speed line.
inline QByteArray numberedEffect(const QList<int>& enabled, const QByteArray& speed, int base = 0) {
    QByteArray bytes;
    for (int step = 1; step <= StepCount; ++step) {
        QByteArray row(ChannelCount, '0');
        for (int bit = 0; bit < 8; ++bit)
            row[7 - bit] = ((step + base) >> bit & 1) ? 'x' : '0';
        bytes += row + "\r\n";
    }
    QByteArray enables(StepCount, '0');
    for (int step : enabled)
        enables[step - 1] = 'x';
    return bytes + speed + "\r\n" + enables + "\r\n";
}
