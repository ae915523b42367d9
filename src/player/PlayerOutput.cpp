#include "PlayerOutput.h"

#include "SilentPort.h"
#include "output/SystemPort.h"

PlayerOutput createPlayerOutput(const QString& spec, QString& error) {
    PlayerOutput output;
    const QString kind = spec.section(QLatin1Char(':'), 0, 0).trimmed().toLower();
    if (spec.isEmpty() || kind == QLatin1String("parport")) {
        QString device = spec.section(QLatin1Char(':'), 1);
        if (device.isEmpty())
            device = QStringLiteral("/dev/parport0");
        output.port = std::make_unique<SystemPort>(device);
        output.description = QStringLiteral("párhuzamos port (%1)").arg(device);
    } else if (kind == QLatin1String("screen")) {
        output.port = std::make_unique<SilentPort>();
        output.description = QStringLiteral("csak képernyő (nem ír ki semmit)");
    } else if (kind == QLatin1String("ola")) {
        error = QStringLiteral("A DMX-kimenet (OLA) ebben a változatban nem érhető el.\n"
                               "Használható kimenet: parport[:ESZKÖZ] vagy screen.");
    } else {
        error =
            QStringLiteral("Ismeretlen kimenet: „%1”.\nHasználható kimenet: parport[:ESZKÖZ] vagy screen.")
                .arg(spec);
    }
    return output;
}
