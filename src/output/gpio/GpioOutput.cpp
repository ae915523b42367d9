#include "GpioOutput.h"

#include "GpioChipEntry.h"
#include "GpioPort.h"
#include "GpioSettings.h"
#include "output/OutputChoice.h"

#include <algorithm>
#include <cstring>

OutputSettings GpioOutput::defaults() const {
    OutputSettings settings;
    GpioSettings().storeIn(settings);
    return settings;
}

bool GpioOutput::validSetting(const QString& key, const QString& value) const {
    return GpioSettings::validSetting(key, value);
}

bool GpioOutput::parse(const std::optional<QString>& arguments, OutputSettings& settings,
                       QString* error) const {
    const auto parsed = GpioSettings::parse(arguments.value_or(QString()), error);
    if (!parsed)
        return false;
    parsed->storeIn(settings);
    return true;
}

QList<OutputEntry> GpioOutput::entries(const OutputChoice& current) const {
    const bool chosen = current.kind == name();
    const QString chosenChip = GpioSettings::from(current.settings).chip;
    std::vector<GpioChipEntry> chips = GpioChipEntry::present();
    if (chosen && std::none_of(chips.begin(), chips.end(),
                               [&](const GpioChipEntry& chip) { return chip.name == chosenChip; }))
        chips.push_back({chosenChip, {}});
    QList<OutputEntry> entries;
    for (const GpioChipEntry& chip : chips)
        entries.append({chip.menuText(),
                        QStringLiteral("gpio"),
                        {{GpioSettings::ChipKey, chip.name}},
                        chosen && chip.name == chosenChip,
                        true});
    return entries;
}

std::unique_ptr<Port> GpioOutput::createPort(const OutputSettings& settings) const {
    return std::make_unique<GpioPort>(GpioSettings::from(settings));
}

QString GpioOutput::description(const OutputSettings& settings) const {
    return GpioSettings::from(settings).description();
}

QList<OutputListing> GpioOutput::listings(const OutputSettings& settings, QStringList* problems) const {
    const GpioSettings configured = GpioSettings::from(settings);
    QList<OutputListing> rows;
    for (const GpioChipEntry& chip : GpioChipEntry::present()) {
        if (chip.openError) {
            if (problems)
                problems->append(QStringLiteral("GPIO: a(z) /dev/%1 nem nyitható meg (%2).")
                                     .arg(chip.name, QString::fromLocal8Bit(std::strerror(chip.openError))));
            continue;
        }
        GpioSettings shown = configured;
        shown.chip = chip.name;
        const bool hasLines = configured.chip == chip.name && configured.drivenCount() > 0;
        rows.append(
            {hasLines ? QStringLiteral("--output ") + shown.toString()
                      : QStringLiteral("--output gpio:%1:VONALAK[:low]").arg(chip.name),
             QStringLiteral("GPIO-csip %1 (%2), %3 vonal").arg(chip.name, chip.label).arg(chip.lineCount)});
    }
    return rows;
}
