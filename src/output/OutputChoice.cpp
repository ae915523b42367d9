#include "OutputChoice.h"

#include "OlaDevices.h"
#include "OlaDmxPort.h"
#include "ScreenOnlyPort.h"
#include "SystemPort.h"

#include <QCollator>
#include <QDir>
#include <QSettings>

namespace {

const QString DefaultDevice = QStringLiteral("/dev/parport0");

QString kindName(OutputChoice::Kind kind) {
    switch (kind) {
    case OutputChoice::Kind::Ola:
        return QStringLiteral("ola");
    case OutputChoice::Kind::Screen:
        return QStringLiteral("screen");
    default:
        return QStringLiteral("parport");
    }
}

std::optional<int> number(const QString& text, int min, int max) {
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok);
    if (!ok || text.startsWith(QLatin1Char('+')) || text.trimmed() != text || value < min || value > max)
        return std::nullopt;
    return static_cast<int>(value);
}

int setting(QSettings& settings, const char* key, int fallback, int min, int max) {
    return number(settings.value(QLatin1String(key)).toString(), min, max).value_or(fallback);
}

QString syntaxHelp() {
    return QStringLiteral("A --output értéke lehet: parport[:ESZKÖZ], ola[:UNIVERZUM[:CÍM]] vagy screen.");
}

} // namespace

bool OutputChoice::operator==(const OutputChoice& other) const {
    return kind == other.kind && device == other.device && universe == other.universe &&
           address == other.address && level == other.level && olaPort == other.olaPort &&
           patch == other.patch;
}

std::unique_ptr<Port> OutputChoice::createPort() const {
    switch (kind) {
    case Kind::Ola:
        return std::make_unique<OlaDmxPort>(universe, address, level, olaPort, patch);
    case Kind::Screen:
        return std::make_unique<ScreenOnlyPort>();
    default:
        return std::make_unique<SystemPort>(device);
    }
}

OutputChoice OutputChoice::load(QSettings& settings) {
    OutputChoice choice;
    settings.beginGroup(QStringLiteral("output"));
    const QString kind = settings.value(QStringLiteral("kind")).toString();
    if (kind == kindName(Kind::Ola))
        choice.kind = Kind::Ola;
    else if (kind == kindName(Kind::Screen))
        choice.kind = Kind::Screen;
    const QString device = settings.value(QStringLiteral("device")).toString();
    if (device.startsWith(QLatin1String("/dev/")))
        choice.device = device;
    choice.universe = setting(settings, "universe", choice.universe, 0, MaxUniverse);
    choice.address = setting(settings, "address", choice.address, MinAddress, MaxAddress);
    choice.level = setting(settings, "level", choice.level, MinLevel, MaxLevel);
    choice.olaPort = setting(settings, "olaPort", choice.olaPort, 1, 65535);
    const QString patch = settings.value(QStringLiteral("patch")).toString();
    if (OlaDevices::parsePatch(patch))
        choice.patch = patch;
    settings.endGroup();
    return choice;
}

void OutputChoice::save(QSettings& settings) const {
    settings.beginGroup(QStringLiteral("output"));
    settings.setValue(QStringLiteral("kind"), kindName(kind));
    settings.setValue(QStringLiteral("device"), device);
    settings.setValue(QStringLiteral("universe"), universe);
    settings.setValue(QStringLiteral("address"), address);
    settings.setValue(QStringLiteral("level"), level);
    settings.setValue(QStringLiteral("olaPort"), olaPort);
    settings.setValue(QStringLiteral("patch"), patch);
    settings.endGroup();
}

OutputChoice OutputChoice::loadSaved() {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("ktr"),
                       QStringLiteral("ktr"));
    return load(settings);
}

void OutputChoice::saveAsDefault() const {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("ktr"),
                       QStringLiteral("ktr"));
    save(settings);
}

bool OutputChoice::applyOutputOption(const QString& value, QString* error) {
    const QStringList parts = value.split(QLatin1Char(':'));
    const QString kindText = parts.first();
    OutputChoice result = *this;
    QString problem;
    if (kindText == QLatin1String("screen") && parts.size() == 1) {
        result.kind = Kind::Screen;
    } else if (kindText == QLatin1String("parport") && parts.size() <= 2) {
        result.kind = Kind::Parport;
        result.device = DefaultDevice;
        if (parts.size() == 2) {
            // The device name itself may not contain a colon; "/dev/" may be left out.
            const QString device = parts[1];
            if (device.isEmpty())
                problem = QStringLiteral("A párhuzamos port eszköze hiányzik.");
            result.device = device.startsWith(QLatin1Char('/')) ? device : QStringLiteral("/dev/") + device;
        }
    } else if (kindText == QLatin1String("ola") && parts.size() <= 3) {
        result.kind = Kind::Ola;
        if (parts.size() >= 2) {
            if (const auto universe = number(parts[1], 0, MaxUniverse))
                result.universe = *universe;
            else
                problem = QStringLiteral("Az univerzum száma 0 és %1 közötti egész szám legyen, nem „%2”.")
                              .arg(MaxUniverse)
                              .arg(parts[1]);
        }
        if (parts.size() == 3 && problem.isEmpty()) {
            if (const auto address = number(parts[2], MinAddress, MaxAddress))
                result.address = *address;
            else
                problem = QStringLiteral("A DMX-cím %1 és %2 közötti egész szám legyen, nem „%3”.")
                              .arg(MinAddress)
                              .arg(MaxAddress)
                              .arg(parts[2]);
        }
    } else {
        problem = QStringLiteral("Ismeretlen kimenet: „%1”.").arg(value);
    }
    if (!problem.isEmpty()) {
        if (error)
            *error = problem + QLatin1Char(' ') + syntaxHelp();
        return false;
    }
    *this = result;
    return true;
}

bool OutputChoice::applyOlaPortOption(const QString& value, QString* error) {
    const auto port = number(value, 1, 65535);
    if (!port) {
        if (error)
            *error = QStringLiteral("Az --ola-port értéke 1 és 65535 közötti portszám legyen, nem „%1”.")
                         .arg(value);
        return false;
    }
    olaPort = *port;
    return true;
}

bool OutputChoice::applyOlaPatchOption(const QString& value, QString* error) {
    if (!OlaDevices::parsePatch(value)) {
        if (error)
            *error =
                QStringLiteral("Az --ola-patch értéke ESZKÖZ:PORT legyen (például 2-1:0; a lehetőségeket "
                               "a ktr --list-outputs sorolja fel), nem „%1”.")
                    .arg(value);
        return false;
    }
    patch = value;
    return true;
}

QStringList OutputChoice::parportDevices() {
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
