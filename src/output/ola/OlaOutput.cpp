#include "OlaOutput.h"

#include "OlaDmxPort.h"
#include "output/OutputChoice.h"

namespace {

const QString Universe = QStringLiteral("universe");
const QString Address = QStringLiteral("address");
const QString Level = QStringLiteral("level");
const QString OlaPort = QStringLiteral("olaPort");

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
            {OlaPort, QString::number(DefaultOlaPort)}};
}

bool OlaOutput::validSetting(const QString& key, const QString& value) const {
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
             QStringLiteral("port")}};
}

bool OlaOutput::applyOption(const QString&, const QString& value, OutputSettings& settings,
                            QString* error) const {
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
                                        settings.value(Level).toInt(), settings.value(OlaPort).toInt());
}

QString OlaOutput::description(const OutputSettings& settings) const {
    return QStringLiteral("DMX az OLA-n át (univerzum %1, cím %2, olad portja %3)")
        .arg(settings.value(Universe), settings.value(Address), settings.value(OlaPort));
}
