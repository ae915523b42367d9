#include "OlaOutput.h"

#include "OlaDevices.h"
#include "OlaDmxPort.h"
#include "output/OutputChoice.h"

namespace {

const QString Universe = QStringLiteral("universe");
const QString Address = QStringLiteral("address");
const QString Level = QStringLiteral("level");
const QString OlaPort = QStringLiteral("olaPort");
const QString Patch = QStringLiteral("patch");
const QString PatchOption = QStringLiteral("ola-patch");

struct Range {
    int min;
    int max;
};

Range rangeOf(const QString& key) {
    if (key == Address)
        return {OlaOutput::MinAddress, OlaOutput::MaxAddress};
    if (key == Level)
        return {OlaOutput::MinLevel, OlaOutput::MaxLevel};
    if (key == OlaPort)
        return {1, 65535};
    return {0, OlaOutput::MaxUniverse};
}

} // namespace

OutputSettings OlaOutput::defaults() const {
    return {{Universe, QStringLiteral("1")},
            {Address, QStringLiteral("1")},
            {Level, QStringLiteral("255")},
            {OlaPort, QString::number(DefaultOlaPort)},
            {Patch, QString()}};
}

bool OlaOutput::validSetting(const QString& key, const QString& value) const {
    if (key == Patch)
        return value.isEmpty() || OlaDevices::parsePatch(value);
    const Range range = rangeOf(key);
    return defaults().contains(key) && outputNumber(value, range.min, range.max);
}

bool OlaOutput::parse(const std::optional<QString>& arguments, OutputSettings& settings,
                      QString* error) const {
    if (!arguments)
        return true;
    const QStringList parts = arguments->split(QLatin1Char(':'));
    if (parts.size() > 2) {
        *error = QStringLiteral("Ismeretlen kimenet: „ola:%1”.").arg(*arguments);
        return false;
    }
    const std::optional<int> universe = outputNumber(parts[0], 0, MaxUniverse);
    if (!universe) {
        *error = QStringLiteral("Az univerzum száma 0 és %1 közötti egész szám legyen, nem „%2”.")
                     .arg(MaxUniverse)
                     .arg(parts[0]);
        return false;
    }
    settings[Universe] = QString::number(*universe);
    if (parts.size() == 2) {
        const std::optional<int> address = outputNumber(parts[1], MinAddress, MaxAddress);
        if (!address) {
            *error = QStringLiteral("A DMX-cím %1 és %2 közötti egész szám legyen, nem „%3”.")
                         .arg(MinAddress)
                         .arg(MaxAddress)
                         .arg(parts[1]);
            return false;
        }
        settings[Address] = QString::number(*address);
    }
    return true;
}

QList<OutputOption> OlaOutput::options() const {
    return {{QStringLiteral("ola-port"), QStringLiteral("Az olad portja (alapérték: 9010)."),
             QStringLiteral("port")},
            {PatchOption,
             QStringLiteral("A DMX-kimenethez: START-kor az olad ESZKÖZ eszközének PORT kimeneti portját az "
                            "univerzumhoz rendeli (például 2-1:0)."),
             QStringLiteral("ESZKÖZ:PORT")}};
}

bool OlaOutput::applyOption(const QString& name, const QString& value, OutputSettings& settings,
                            QString* error) const {
    if (name == PatchOption) {
        const auto target = OlaDevices::parsePatch(value);
        if (!target) {
            *error =
                QStringLiteral("Az --ola-patch értéke ESZKÖZ:PORT legyen (például 2-1:0; a lehetőségeket "
                               "a ktr --list-outputs sorolja fel), nem „%1”.")
                    .arg(value);
            return false;
        }
        settings[Patch] = target->text();
        return true;
    }
    const std::optional<int> port = outputNumber(value, 1, 65535);
    if (!port) {
        *error =
            QStringLiteral("Az --ola-port értéke 1 és 65535 közötti portszám legyen, nem „%1”.").arg(value);
        return false;
    }
    settings[OlaPort] = QString::number(*port);
    return true;
}

QList<OutputEntry> OlaOutput::entries(const OutputChoice& current) const {
    return {{QStringLiteral("DMX (OLA)…"), QStringLiteral("dmx"), {}, current.kind == name(), true}};
}

std::unique_ptr<Port> OlaOutput::createPort(const OutputSettings& settings) const {
    return std::make_unique<OlaDmxPort>(settings.value(Universe).toInt(), settings.value(Address).toInt(),
                                        settings.value(Level).toInt(), settings.value(OlaPort).toInt(),
                                        settings.value(Patch));
}

QString OlaOutput::description(const OutputSettings& settings) const {
    QString text = QStringLiteral("DMX az OLA-n át (univerzum %1, cím %2, olad portja %3")
                       .arg(settings.value(Universe), settings.value(Address), settings.value(OlaPort));
    if (!settings.value(Patch).isEmpty())
        text += QStringLiteral(", eszköz: %1").arg(settings.value(Patch));
    return text + QLatin1Char(')');
}

QList<OutputListing> OlaOutput::listings(const OutputSettings& settings, QStringList* problems) const {
    const int olaPort = settings.value(OlaPort).toInt();
    OlaDevices olad(olaPort);
    const auto devices = olad.devices();
    if (!devices) {
        problems->append(QStringLiteral("a DMX-kimenetek nem sorolhatók fel: %1.").arg(olad.error()));
        return {};
    }
    const QString portOption =
        olaPort == DefaultOlaPort ? QString() : QStringLiteral(" --ola-port %1").arg(olaPort);
    QList<OutputListing> rows;
    for (const OlaDevices::Device& device : *devices) {
        for (const OlaDevices::OutputPort& port : device.outputs) {
            const unsigned universe = port.universe.value_or(settings.value(Universe).toUInt());
            const QString state = port.universe
                                      ? QStringLiteral("a(z) %1. univerzumhoz rendelve").arg(*port.universe)
                                      : QStringLiteral("szabad");
            rows.append({QStringLiteral("--output ola:%1 --ola-patch %2:%3%4")
                             .arg(universe)
                             .arg(device.id)
                             .arg(port.id)
                             .arg(portOption),
                         QStringLiteral("DMX (OLA): %1, %2 (%3)").arg(device.name, port.description, state)});
        }
    }
    return rows;
}
