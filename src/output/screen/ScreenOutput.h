#pragma once

#include "output/OutputBackend.h"

// Plays on screen only: nothing is written anywhere, and it never fails.
class ScreenOutput : public OutputBackend {
public:
    QString name() const override { return QStringLiteral("screen"); }
    int order() const override { return 100; }
    QString syntax() const override { return name(); }
    OutputSettings defaults() const override { return {}; }
    bool validSetting(const QString&, const QString&) const override { return false; }
    bool parse(const std::optional<QString>& arguments, OutputSettings& settings,
               QString* error) const override;
    QList<OutputEntry> entries(const OutputChoice& current) const override;
    std::unique_ptr<Port> createPort(const OutputSettings& settings) const override;
    QString description(const OutputSettings& settings) const override;
    QList<OutputListing> listings(const OutputSettings& settings, QStringList* problems) const override;
};
