#include "SerialOutput.h"

#include "SerialPort.h"
#include "output/OutputChoice.h"

#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <unistd.h>

namespace {

const QString HeaderOption = QStringLiteral("serial-header");
const QString FooterOption = QStringLiteral("serial-footer");

// A word as a POSIX shell reads it back: the rows are pasted into one.
QString shellWord(const QString& text) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./:@%+=,-]+$"));
    if (plain.match(text).hasMatch())
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

} // namespace

QString SerialOutput::protocolText(SerialSettings::Protocol protocol) {
    switch (protocol) {
    case SerialSettings::Protocol::Lcus:
        return QStringLiteral("LCUS relékártya");
    case SerialSettings::Protocol::Generic:
        return QStringLiteral("Arduino vagy más „generic serial” vevő");
    case SerialSettings::Protocol::Renard:
        return QStringLiteral("Renard vezérlő");
    }
    return {};
}

OutputSettings SerialOutput::defaults() const {
    OutputSettings settings;
    SerialSettings().storeIn(settings);
    return settings;
}

bool SerialOutput::validSetting(const QString& key, const QString& value) const {
    return SerialSettings::validSetting(key, value);
}

bool SerialOutput::parse(const std::optional<QString>& arguments, OutputSettings& settings,
                         QString* error) const {
    if (!arguments)
        return true; // the settings as they are
    const auto parsed = SerialSettings::parse(*arguments, error);
    if (!parsed)
        return false;
    settings[SerialSettings::DeviceKey] = parsed->device;
    settings[SerialSettings::ProtocolKey] = SerialSettings::protocolName(parsed->protocol);
    settings[SerialSettings::BaudKey] = parsed->baud ? QString::number(parsed->baud) : QString();
    return true;
}

QList<OutputOption> SerialOutput::options() const {
    return {{HeaderOption,
             QStringLiteral("A soros kimenet generic protokolljához: a keret eleji bájtok (\\xNN egy "
                            "tetszőleges bájt, például KTR vagy \\x7E)."),
             QStringLiteral("szöveg")},
            {FooterOption, QStringLiteral("A soros kimenet generic protokolljához: a keret végi bájtok."),
             QStringLiteral("szöveg")}};
}

bool SerialOutput::applyOption(const QString& name, const QString& value, OutputSettings& settings,
                               QString* error) const {
    QString problem;
    if (!SerialSettings::frameBytes(value, &problem)) {
        if (error)
            *error = QStringLiteral("A --%1 értéke hibás. %2").arg(name, problem);
        return false;
    }
    settings[name == HeaderOption ? SerialSettings::HeaderKey : SerialSettings::FooterKey] = value;
    return true;
}

QList<OutputEntry> SerialOutput::entries(const OutputChoice& current) const {
    return entriesFor(SerialDevice::present(), current);
}

QList<OutputEntry> SerialOutput::entriesFor(const std::vector<SerialDevice>& devices,
                                            const OutputChoice& current) {
    const bool chosen = current.kind == QLatin1String("serial");
    const SerialSettings settings = SerialSettings::from(current.settings);
    QList<OutputEntry> entries;
    bool chosenPresent = false;
    for (const SerialDevice& device : devices) {
        const bool same = device.matches(settings.device);
        OutputSettings proposed;
        if (same) {
            chosenPresent = chosen;
            settings.storeIn(proposed);
        } else {
            SerialSettings fresh = settings;
            fresh.device = device.path();
            fresh.protocol = device.protocols().constFirst();
            fresh.baud = 0;
            fresh.storeIn(proposed);
        }
        entries.append({QStringLiteral("Soros port: %1 (%2)…").arg(device.name, device.label()),
                        QStringLiteral("serial"), proposed, chosen && same, true});
    }
    if (chosen && !chosenPresent) {
        OutputSettings proposed;
        settings.storeIn(proposed);
        entries.append({QStringLiteral("Soros port: %1…").arg(settings.device), QStringLiteral("serial"),
                        proposed, true, true});
    }
    return entries;
}

std::unique_ptr<Port> SerialOutput::createPort(const OutputSettings& settings) const {
    return std::make_unique<SerialPort>(SerialSettings::from(settings));
}

QString SerialOutput::description(const OutputSettings& settings) const {
    return SerialSettings::from(settings).description();
}

QList<OutputListing> SerialOutput::listings(const OutputSettings& settings, QStringList* problems) const {
    const std::vector<SerialDevice> devices = SerialDevice::present();
    for (const SerialDevice& device : devices) {
        if (problems && ::access(QFile::encodeName(device.node).constData(), R_OK | W_OK) < 0)
            problems->append(QStringLiteral("soros port: a(z) %1 nem nyitható meg írásra; a dialout csoport "
                                            "tagjai nyithatják meg (sudo usermod -aG dialout FELHASZNÁLÓ).")
                                 .arg(device.node));
    }
    return listingsFor(devices, settings);
}

QList<OutputListing> SerialOutput::listingsFor(const std::vector<SerialDevice>& devices,
                                               const OutputSettings& settings) {
    const SerialSettings configured = SerialSettings::from(settings);
    QList<OutputListing> rows;
    for (const SerialDevice& device : devices) {
        for (const SerialSettings::Protocol protocol : device.protocols()) {
            SerialSettings row;
            row.device = device.path();
            row.protocol = protocol;
            QString arguments = QStringLiteral("--output ") + shellWord(row.toString());
            QString note;
            if (protocol == SerialSettings::Protocol::Generic) {
                const QString header = configured.header.isEmpty() ? SketchHeader : configured.header;
                arguments += QStringLiteral(" --serial-header ") + shellWord(header);
                if (!configured.footer.isEmpty())
                    arguments += QStringLiteral(" --serial-footer ") + shellWord(configured.footer);
                if (configured.header.isEmpty())
                    note = QStringLiteral(", a firmware/ktr_relay vázlat fejlécével");
            }
            rows.append({arguments, QStringLiteral("Soros port: %1 (%2) a(z) %3 eszközön%4")
                                        .arg(protocolText(protocol), device.label(), device.node, note)});
        }
    }
    return rows;
}
