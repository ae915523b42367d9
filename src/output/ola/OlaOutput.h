#pragma once

#include "output/OutputBackend.h"

// DMX through olad: a universe, the first address of the twelve channels, the level of a channel
// that is on, and olad's port.
class OlaOutput : public OutputBackend {
public:
    static constexpr int MinAddress = 1;
    static constexpr int MaxAddress = 501; // channel 12 lands on slot 512
    static constexpr int MinLevel = 1;
    static constexpr int MaxLevel = 255;
    static constexpr int MaxUniverse = 2147483647;
    static constexpr int DefaultOlaPort = 9010;

    QString name() const override { return QStringLiteral("ola"); }
    int order() const override { return 50; }
    QString syntax() const override { return QStringLiteral("ola[:UNIVERZUM[:CÍM]]"); }
    OutputSettings defaults() const override;
    bool validSetting(const QString& key, const QString& value) const override;
    bool parse(const std::optional<QString>& arguments, OutputSettings& settings,
               QString* error) const override;
    QList<OutputOption> options() const override;
    bool applyOption(const QString& name, const QString& value, OutputSettings& settings,
                     QString* error) const override;
    QList<OutputEntry> entries(const OutputChoice& current) const override;
    std::unique_ptr<Port> createPort(const OutputSettings& settings) const override;
    QString description(const OutputSettings& settings) const override;
};
