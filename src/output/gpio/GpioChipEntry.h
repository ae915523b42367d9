#pragma once

#include <QString>

#include <vector>

// A chip found in /dev, for the "Kimenet" menu.
struct GpioChipEntry {
    QString name;  // "gpiochip0"
    QString label; // the kernel's label, empty when the chip cannot be opened
    int lineCount = 0;
    int openError = 0; // errno of the failed open, 0 when it opened
    QString menuText() const;

    // The chips present in dir, in numeric order.
    static std::vector<GpioChipEntry> present(const QString& dir = QStringLiteral("/dev"));
};
