#include "OutputMonitor.h"

#include "Module1.h"

namespace {
const char* const nibbleTable[16] = {"0000", "000x", "00x0", "00xx", "0x00", "0x0x", "0xx0", "0xxx",
                                     "x000", "x00x", "x0x0", "x0xx", "xx00", "xx0x", "xxx0", "xxxx"};
const QString hexDigits = QStringLiteral("0123456789ABCDEF");
} // namespace

void OutputMonitor::updateMonitor(const Module1& module, MonitorView& view) {
    view.setMonitorLine(line(module.dataValue, module.controlPattern));
}

QString OutputMonitor::line(int dataValue, const QString& controlPattern) {
    hexText = QString::number(dataValue, 16).toUpper();
    padHex(hexText);
    hexToBits(hexText);
    return dataBits + controlPattern;
}

void OutputMonitor::padHex(QString& text) {
    hexLength = static_cast<int>(text.size());
    if (hexLength == 0)
        text = QStringLiteral("00");
    else if (hexLength == 1)
        text.prepend(QLatin1Char('0'));
}

void OutputMonitor::hexToBits(const QString& text) {
    dataBits.clear();
    nibbleDigit = text.mid(0, 1);
    nibbleToBits(nibbleDigit);
    dataBits = nibbleBits;
    nibbleDigit = text.mid(1, 1);
    nibbleToBits(nibbleDigit);
    dataBits += nibbleBits;
}

void OutputMonitor::nibbleToBits(const QString& digit) {
    // Exact, case-sensitive match: the formatting above only produces upper-case digits.
    const qsizetype index = digit.size() == 1 ? hexDigits.indexOf(digit) : -1;
    nibbleBits = index >= 0 ? QString::fromLatin1(nibbleTable[index]) : QString();
}
