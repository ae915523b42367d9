#pragma once

#include "SerialDevices.h"
#include "output/OutputBackend.h"

#include <vector>

// Relay boards on a serial line: CH340 "LCUS" boards, Arduino sketches reading "generic serial"
// frames, Renard controllers. One menu entry per USB serial device present, with a dialog for
// the protocol, the rate, the header and the footer.
class SerialOutput : public OutputBackend {
public:
    // The header of the sketch in firmware/, which the listing offers for generic.
    static inline const QString SketchHeader = QStringLiteral("KTR");

    QString name() const override { return QStringLiteral("serial"); }
    int order() const override { return 70; }
    QString syntax() const override { return QStringLiteral("serial:ESZKÖZ:PROTOKOLL[:BAUD]"); }
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
    QList<OutputListing> listings(const OutputSettings& settings, QStringList* problems) const override;

    // The rows for these devices: one per protocol that fits each, ready to paste.
    static QList<OutputListing> listingsFor(const std::vector<SerialDevice>& devices,
                                            const OutputSettings& settings);
    // The menu entries for these devices, and the chosen one if it is not among them.
    static QList<OutputEntry> entriesFor(const std::vector<SerialDevice>& devices,
                                         const OutputChoice& current);
    static QString protocolText(SerialSettings::Protocol protocol);
};
