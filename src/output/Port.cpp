#include "Port.h"

#include "Module1.h"

bool writePorts(Module1& module, Port& port) {
    module.dataByte = module.dataValue;
    const bool dataOk = port.portOut(module.dataPort, static_cast<quint8>(module.dataByte));
    module.controlByte = module.controlValue;
    const bool controlOk = port.portOut(module.controlPort, static_cast<quint8>(module.controlByte));
    return dataOk && controlOk;
}

QString portFailureMessage(const QString& device, const QString& cause, const QString& remedy) {
    return QStringLiteral("A párhuzamos port nem használható: %1\n\n"
                          "Ok: %2\n\n"
                          "Teendő: %3\n\n"
                          "A lejátszás a képernyőn folytatódik; a következő START újra megpróbálja a portot.")
        .arg(device, cause, remedy);
}

QString refusedAddressMessage(int address) {
    return QStringLiteral(
               "A program csak a 888-as és a 890-es portcímre ír; a(z) %1 címre írást elutasította.")
        .arg(address);
}
