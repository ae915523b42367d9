#pragma once

#include "output/OutputBackend.h"

// Relay boards on GPIO lines (a Raspberry Pi's header), through libgpiod: one menu entry per chip
// present, with a dialog for the lines.
class GpioOutput : public OutputBackend {
public:
    QString name() const override { return QStringLiteral("gpio"); }
    int order() const override { return 60; }
    QString syntax() const override { return QStringLiteral("gpio:CSIP:VONALAK[:low]"); }
    OutputSettings defaults() const override;
    bool validSetting(const QString& key, const QString& value) const override;
    bool parse(const std::optional<QString>& arguments, OutputSettings& settings,
               QString* error) const override;
    QList<OutputEntry> entries(const OutputChoice& current) const override;
    std::unique_ptr<Port> createPort(const OutputSettings& settings) const override;
    QString description(const OutputSettings& settings) const override;
    QList<OutputListing> listings(const OutputSettings& settings, QStringList* problems) const override;
};
