#include "ParportOutput.h"

#include "DirectIoPort.h"
#include "SystemPort.h"
#include "output/OutputChoice.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>

namespace {
const QString Device = QStringLiteral("device");
} // namespace

OutputSettings ParportOutput::defaults() const {
    return {{Device, DefaultDevice}};
}

bool ParportOutput::validSetting(const QString& key, const QString& value) const {
    return key == Device && (value.startsWith(QLatin1String("/dev/")) || DirectIoPort::isRequested(value));
}

bool ParportOutput::parse(const std::optional<QString>& arguments, OutputSettings& settings,
                          QString* error) const {
    settings[Device] = DefaultDevice;
    if (!arguments)
        return true;
    // The device name itself may not contain a colon; "/dev/" may be left out.
    const QString& device = *arguments;
    if (device.isEmpty() || device.contains(QLatin1Char(':'))) {
        *error = device.isEmpty() ? QStringLiteral("A párhuzamos port eszköze hiányzik.")
                                  : QStringLiteral("Hibás párhuzamosport-eszköz: „%1”.").arg(device);
        return false;
    }
    const bool asIs = device.startsWith(QLatin1Char('/')) || DirectIoPort::isRequested(device);
    settings[Device] = asIs ? device : QStringLiteral("/dev/") + device;
    return true;
}

QList<OutputEntry> ParportOutput::entries(const OutputChoice& current) const {
    const bool chosen = current.kind == name();
    const QString device = current.setting(Device);
    QStringList offered = devices();
    if (chosen && !offered.contains(device))
        offered.append(device);
    QList<OutputEntry> entries;
    for (const QString& each : offered) {
        entries.append({QStringLiteral("Párhuzamos port (%1)").arg(each),
                        QStringLiteral("parport"),
                        {{Device, each}},
                        chosen && device == each,
                        false});
    }
    return entries;
}

std::unique_ptr<Port> ParportOutput::createPort(const OutputSettings& settings) const {
    return std::make_unique<SystemPort>(settings.value(Device));
}

QString ParportOutput::description(const OutputSettings& settings) const {
    const QString device = settings.value(Device);
    return DirectIoPort::isRequested(device) ? QStringLiteral("párhuzamos port (közvetlen elérés, 0x378)")
                                             : QStringLiteral("párhuzamos port (%1)").arg(device);
}

QList<OutputListing> ParportOutput::listings(const OutputSettings&, QStringList*) const {
    QList<OutputListing> rows;
    for (const QString& device : devices()) {
        if (QFileInfo::exists(device))
            rows.append({QStringLiteral("--output parport:%1").arg(device),
                         QStringLiteral("párhuzamos port (%1)").arg(device)});
    }
    return rows;
}

QStringList ParportOutput::devices() {
    QStringList devices;
    for (const QString& name :
         QDir(QStringLiteral("/dev")).entryList({QStringLiteral("parport*")}, QDir::System))
        devices.append(QStringLiteral("/dev/") + name);
    QCollator collator;
    collator.setNumericMode(true);
    std::sort(devices.begin(), devices.end(), collator);
    devices.removeAll(DefaultDevice);
    devices.prepend(DefaultDevice);
    return devices;
}
