#include "OutputListing.h"

#include "OlaDevices.h"
#include "OutputChoice.h"

#include <QFileInfo>
#include <QString>

namespace {

void print(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

} // namespace

int listOutputs(const OutputChoice& choice, std::FILE* out, std::FILE* err) {
    for (const QString& device : OutputChoice::parportDevices()) {
        if (QFileInfo::exists(device))
            print(out, QStringLiteral("--output parport:%1\tPárhuzamos port (%1)\n").arg(device));
    }
    print(out, QStringLiteral("--output screen\tCsak képernyő (nem ír ki semmit)\n"));

    OlaDevices olad(choice.olaPort);
    const auto devices = olad.devices();
    if (!devices) {
        print(err, QStringLiteral("ktr: a DMX-kimenetek nem sorolhatók fel: %1.\n").arg(olad.error()));
        std::fflush(out);
        return 0;
    }
    const QString portOption = choice.olaPort == OutputChoice::DefaultOlaPort
                                   ? QString()
                                   : QStringLiteral(" --ola-port %1").arg(choice.olaPort);
    for (const OlaDevices::Device& device : *devices) {
        for (const OlaDevices::OutputPort& port : device.outputs) {
            const unsigned universe = port.universe.value_or(static_cast<unsigned>(choice.universe));
            const QString state = port.universe
                                      ? QStringLiteral("a(z) %1. univerzumhoz rendelve").arg(*port.universe)
                                      : QStringLiteral("szabad");
            print(out, QStringLiteral("--output ola:%1 --ola-patch %2:%3%4\tDMX (OLA): %5, %6 (%7)\n")
                           .arg(universe)
                           .arg(device.id)
                           .arg(port.id)
                           .arg(portOption, device.name, port.description, state));
        }
    }
    std::fflush(out);
    return 0;
}
