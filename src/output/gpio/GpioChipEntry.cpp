#include "GpioChipEntry.h"

#include "GpioChip.h"

#include <QCollator>
#include <QDir>

#include <algorithm>
#include <cerrno>

QString GpioChipEntry::menuText() const {
    if (label.isEmpty())
        return QStringLiteral("GPIO (%1)…").arg(name);
    return QStringLiteral("GPIO (%1: %2)…").arg(name, label);
}

std::vector<GpioChipEntry> GpioChipEntry::present(const QString& dir) {
    QStringList names = QDir(dir).entryList({QStringLiteral("gpiochip*")}, QDir::System | QDir::Files);
    QCollator collator;
    collator.setNumericMode(true);
    std::sort(names.begin(), names.end(), collator);
    std::vector<GpioChipEntry> chips;
    for (const QString& name : names) {
        GpioChipEntry entry{name, {}};
        if (const auto chip = GpioChip::open(dir + QLatin1Char('/') + name)) {
            entry.label = chip->label();
            entry.lineCount = chip->lineCount();
        } else {
            entry.openError = errno;
        }
        chips.push_back(entry);
    }
    return chips;
}
