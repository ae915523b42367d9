#include "Port.h"

#include "Module1.h"
#include "effects/EffectGrid.h"

bool writePorts(Module1& module, Port& port) {
    module.dataByte = module.dataValue;
    const bool dataOk = port.portOut(module.dataPort, static_cast<quint8>(module.dataByte));
    module.controlByte = module.controlValue;
    const bool controlOk = port.portOut(module.controlPort, static_cast<quint8>(module.controlByte));
    return dataOk && controlOk;
}

bool Port::portOut(int address, quint8 value) {
    if (address != DataAddress && address != ControlAddress)
        return fail(refusedAddressMessage(address));
    if (m_failed)
        return false;
    if (write(address, value))
        return true;
    if (latchesFailures())
        m_failed = true;
    return false;
}

void Port::retry() {
    starting();
    if (!m_failed)
        return;
    m_failed = false;
    reset();
}

bool Port::fail(const QString& message) {
    m_message = message;
    m_brief.clear();
    return false;
}

bool Port::failLike(const Port& inner) {
    m_message = inner.m_message;
    m_brief = inner.m_brief;
    return false;
}

bool Port::fail(const OutputFailure& failure) {
    fail(failure.text());
    m_brief = failure.brief;
    return false;
}

QString OutputFailure::text() const {
    QString text = QStringLiteral("%1 nem használható: %2").arg(output, device);
    if (!cause.isEmpty())
        text += QStringLiteral("\n\nOk: ") + cause;
    if (!remedy.isEmpty())
        text += QStringLiteral("\n\nTeendő: ") + remedy;
    return text;
}

QString refusedAddressMessage(int address) {
    return QStringLiteral(
               "A program csak a 888-as és a 890-es portcímre ír; a(z) %1 címre írást elutasította.")
        .arg(address);
}

std::array<bool, 12> highPins(quint8 data, quint8 control) {
    const EffectGrid::Channels channels = channelsOfRegisters(data, control);
    std::array<bool, 12> high{};
    for (int k = 0; k < 12; ++k)
        high[k] = channels >> k & 1u;
    return high;
}
