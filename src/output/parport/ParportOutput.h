#pragma once

#include "output/OutputBackend.h"

// The parallel port through ppdev (or direct I/O on the first port), one entry per device.
class ParportOutput : public OutputBackend {
public:
    static inline const QString DefaultDevice = QStringLiteral("/dev/parport0");

    QString name() const override { return QStringLiteral("parport"); }
    int order() const override { return 0; }
    QString syntax() const override { return QStringLiteral("parport[:ESZKÖZ|direct]"); }
    OutputSettings defaults() const override;
    bool validSetting(const QString& key, const QString& value) const override;
    bool parse(const std::optional<QString>& arguments, OutputSettings& settings,
               QString* error) const override;
    QList<OutputEntry> entries(const OutputChoice& current) const override;
    std::unique_ptr<Port> createPort(const OutputSettings& settings) const override;
    QString description(const OutputSettings& settings) const override;
    QList<OutputListing> listings(const OutputSettings& settings, QStringList* problems) const override;

    // The devices to offer: /dev/parport0 first, present or not, then the others present.
    static QStringList devices();
};
