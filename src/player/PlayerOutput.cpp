#include "PlayerOutput.h"

#include "output/OutputChoice.h"

PlayerOutput createPlayerOutput(const QString& output, const QString& olaPort, const QString& olaPatch,
                                QString& error) {
    PlayerOutput result;
    OutputChoice choice;
    if ((!output.isEmpty() && !choice.applyOutputOption(output, &error)) ||
        (!olaPort.isEmpty() && !choice.applyOlaPortOption(olaPort, &error)) ||
        (!olaPatch.isEmpty() && !choice.applyOlaPatchOption(olaPatch, &error)))
        return result;
    result.port = choice.createPort();
    switch (choice.kind) {
    case OutputChoice::Kind::Parport:
        result.description = QStringLiteral("párhuzamos port (%1)").arg(choice.device);
        break;
    case OutputChoice::Kind::Ola:
        result.description = QStringLiteral("DMX az OLA-n át (univerzum %1, cím %2, olad portja %3)")
                                 .arg(choice.universe)
                                 .arg(choice.address)
                                 .arg(choice.olaPort);
        if (!choice.patch.isEmpty())
            result.description += QStringLiteral(", eszköz: %1").arg(choice.patch);
        break;
    case OutputChoice::Kind::Screen:
        result.description = QStringLiteral("csak képernyő (nem ír ki semmit)");
        break;
    }
    return result;
}
