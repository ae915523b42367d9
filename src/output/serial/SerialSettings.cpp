#include "SerialSettings.h"

#include "output/OutputChoice.h"

#include <QRegularExpression>
#include <QStringList>

int SerialSettings::defaultBaud(Protocol protocol) {
    switch (protocol) {
    case Protocol::Lcus:
        return 9600;
    case Protocol::Generic:
        return 115200;
    case Protocol::Renard:
        return 57600;
    }
    return 9600;
}

QString SerialSettings::protocolName(Protocol protocol) {
    switch (protocol) {
    case Protocol::Lcus:
        return QStringLiteral("lcus");
    case Protocol::Generic:
        return QStringLiteral("generic");
    case Protocol::Renard:
        return QStringLiteral("renard");
    }
    return {};
}

std::optional<SerialSettings::Protocol> SerialSettings::protocolNamed(const QString& name) {
    for (const Protocol protocol : {Protocol::Lcus, Protocol::Generic, Protocol::Renard}) {
        if (name == protocolName(protocol))
            return protocol;
    }
    return std::nullopt;
}

const QList<int>& SerialSettings::baudRates() {
    // Those termios names (B1200 … B1000000); SerialPort maps each to its constant.
    static const QList<int> rates{1200,   2400,   4800,   9600,   19200,  38400,  57600,
                                  115200, 230400, 460800, 500000, 576000, 921600, 1000000};
    return rates;
}

std::optional<QString> SerialSettings::devicePath(const QString& text) {
    if (text.isEmpty() || text.contains(QChar(0)) || text.contains(QLatin1Char('\n')))
        return std::nullopt;
    if (text.startsWith(QLatin1Char('/')))
        return text;
    if (text.contains(QLatin1Char('/')))
        return std::nullopt; // a relative path would depend on where the program was started
    return QStringLiteral("/dev/") + text;
}

std::optional<QByteArray> SerialSettings::frameBytes(const QString& text, QString* error) {
    static const QRegularExpression escape(QStringLiteral("\\\\(?:x([0-9A-Fa-f]{2})|(\\\\))"));
    QByteArray bytes;
    qsizetype at = 0;
    QString problem;
    while (at < text.size()) {
        const qsizetype backslash = text.indexOf(QLatin1Char('\\'), at);
        bytes += text.mid(at, backslash < 0 ? -1 : backslash - at).toUtf8();
        if (backslash < 0)
            break;
        const QRegularExpressionMatch match = escape.match(text, backslash, QRegularExpression::NormalMatch,
                                                           QRegularExpression::AnchorAtOffsetMatchOption);
        if (!match.hasMatch()) {
            problem = QStringLiteral("A fejlécben és a láblécben a fordított perjel után \\xNN (két "
                                     "hexadecimális jegy) vagy \\\\ állhat: „%1”.")
                          .arg(text.mid(backslash, 4));
            break;
        }
        bytes += match.capturedLength(1) ? char(match.captured(1).toInt(nullptr, 16)) : '\\';
        at = match.capturedEnd();
    }
    if (problem.isEmpty() && bytes.size() > MaxFrameText)
        problem = QStringLiteral("A fejléc és a lábléc legfeljebb %1 bájt lehet, nem %2.")
                      .arg(MaxFrameText)
                      .arg(bytes.size());
    if (!problem.isEmpty()) {
        if (error)
            *error = problem;
        return std::nullopt;
    }
    return bytes;
}

std::optional<SerialSettings> SerialSettings::parse(const QString& arguments, QString* error) {
    QStringList parts = arguments.split(QLatin1Char(':'));
    SerialSettings result;
    QString problem;
    if (parts.size() >= 3 && !parts.last().isEmpty() && parts.last().front().isDigit()) {
        const std::optional<int> baud = outputNumber(parts.takeLast(), 1, 1000000);
        if (!baud || !baudRates().contains(*baud))
            problem = QStringLiteral("A sebesség (baud) ezek egyike lehet: %1.").arg([] {
                QStringList rates;
                for (const int rate : baudRates())
                    rates << QString::number(rate);
                return rates.join(QStringLiteral(", "));
            }());
        else
            result.baud = *baud;
    }
    if (problem.isEmpty()) {
        const std::optional<Protocol> protocol =
            parts.size() >= 2 ? protocolNamed(parts.last()) : std::nullopt;
        const std::optional<QString> device =
            protocol ? devicePath(parts.mid(0, parts.size() - 1).join(QLatin1Char(':'))) : std::nullopt;
        if (!protocol)
            problem = QStringLiteral("A soros kimenethez meg kell adni az eszközt és a protokollt (lcus, "
                                     "generic vagy renard), például serial:/dev/ttyUSB0:lcus.");
        else if (!device)
            problem = QStringLiteral("A soros eszköz teljes elérési út (/dev/ttyUSB0) vagy egy /dev alatti "
                                     "név (ttyUSB0) legyen.");
        else {
            result.protocol = *protocol;
            result.device = *device;
        }
    }
    if (!problem.isEmpty()) {
        if (error)
            *error = problem;
        return std::nullopt;
    }
    return result;
}

QString SerialSettings::toString() const {
    QString text = QStringLiteral("serial:%1:%2").arg(device, protocolName(protocol));
    if (baud)
        text += QLatin1Char(':') + QString::number(baud);
    return text;
}

SerialSettings SerialSettings::from(const OutputSettings& settings) {
    SerialSettings result;
    if (const auto device = devicePath(settings.value(DeviceKey)))
        result.device = *device;
    if (const auto protocol = protocolNamed(settings.value(ProtocolKey)))
        result.protocol = *protocol;
    if (validSetting(BaudKey, settings.value(BaudKey)))
        result.baud = settings.value(BaudKey).toInt();
    if (frameBytes(settings.value(HeaderKey), nullptr))
        result.header = settings.value(HeaderKey);
    if (frameBytes(settings.value(FooterKey), nullptr))
        result.footer = settings.value(FooterKey);
    return result;
}

void SerialSettings::storeIn(OutputSettings& settings) const {
    settings[DeviceKey] = device;
    settings[ProtocolKey] = protocolName(protocol);
    settings[BaudKey] = baud ? QString::number(baud) : QString();
    settings[HeaderKey] = header;
    settings[FooterKey] = footer;
}

bool SerialSettings::validSetting(const QString& key, const QString& value) {
    if (key == DeviceKey)
        return devicePath(value).has_value();
    if (key == ProtocolKey)
        return protocolNamed(value).has_value();
    if (key == BaudKey)
        return value.isEmpty() || (outputNumber(value, 1, 1000000) && baudRates().contains(value.toInt()));
    if (key == HeaderKey || key == FooterKey)
        return frameBytes(value, nullptr).has_value();
    return false;
}

QString SerialSettings::description() const {
    QString text = QStringLiteral("soros port (%1, %2, %3 baud")
                       .arg(device, protocolName(protocol))
                       .arg(effectiveBaud());
    if (protocol == Protocol::Generic && !header.isEmpty())
        text += QStringLiteral(", fejléc: %1").arg(header);
    if (protocol == Protocol::Generic && !footer.isEmpty())
        text += QStringLiteral(", lábléc: %1").arg(footer);
    return text + QLatin1Char(')');
}
