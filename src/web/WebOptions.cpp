#include "WebOptions.h"

#include <QCommandLineParser>
#include <QNetworkInterface>

namespace {

const QString WebName = QStringLiteral("web");
const QString KeyFileName = QStringLiteral("web-key-file");

QString badListen(const QString& text) {
    return QStringLiteral("A --web értéke [CÍM:]PORT, például 8080 vagy 127.0.0.1:8080 (a port 1 és 65535 "
                          "között), nem „%1”.")
        .arg(text);
}

// Listening on every address, the link names one a phone on the same network can reach.
QHostAddress reachableAddress() {
    QHostAddress fallback(QHostAddress::LocalHost);
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
        const auto flags = interface.flags();
        if (!(flags & QNetworkInterface::IsUp) || !(flags & QNetworkInterface::IsRunning) ||
            (flags & QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
            const QHostAddress ip = entry.ip();
            if (ip.protocol() == QAbstractSocket::IPv4Protocol && !ip.isLoopback() && !ip.isLinkLocal())
                return ip;
        }
    }
    return fallback;
}

} // namespace

QList<QCommandLineOption> WebOptions::commandLineOptions() {
    return {
        QCommandLineOption(WebName,
                           QStringLiteral("Távvezérlés böngészőből: a weboldal és az API ezen a porton "
                                          "(minden címen, vagy csak a megadott CÍM-en)."),
                           QStringLiteral("[CÍM:]PORT")),
        QCommandLineOption(KeyFileName,
                           QStringLiteral("A --web kulcsa ebben a fájlban (ha nincs, elkészül), a program "
                                          "saját kulcsfájlja helyett."),
                           QStringLiteral("FÁJL")),
    };
}

bool WebOptions::setListen(const QString& text, QString* error) {
    QString host;
    QString portText = text.trimmed();
    const qsizetype colon = portText.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0) {
        host = portText.left(colon);
        portText = portText.mid(colon + 1);
        if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
            host = host.mid(1, host.size() - 2);
        else if (host.contains(QLatin1Char(':')))
            portText.clear(); // an IPv6 address needs its brackets
    }
    bool number = false;
    const uint port = portText.toUInt(&number);
    QHostAddress address(QHostAddress::Any);
    if (host == QLatin1String("localhost"))
        address = QHostAddress(QHostAddress::LocalHost);
    else if (colon >= 0 && !address.setAddress(host))
        number = false;
    if (!number || port < 1 || port > 65535 || portText.startsWith(QLatin1Char('+'))) {
        if (error)
            *error = badListen(text);
        return false;
    }
    enabled = true;
    this->address = address;
    this->port = quint16(port);
    return true;
}

bool WebOptions::applyCommandLine(const QCommandLineParser& parser, QString* error) {
    WebOptions options = *this;
    if (parser.isSet(WebName) && !options.setListen(parser.values(WebName).constLast(), error))
        return false;
    if (parser.isSet(KeyFileName)) {
        options.keyFile = parser.values(KeyFileName).constLast();
        if (options.keyFile.isEmpty()) {
            if (error)
                *error = QStringLiteral("A --web-key-file után egy fájl neve kell.");
            return false;
        }
    }
    *this = options;
    return true;
}

QString WebOptions::baseUrl(const QHostAddress& address, quint16 port) {
    QHostAddress shown = address;
    if (address == QHostAddress::Any || address == QHostAddress::AnyIPv4 || address == QHostAddress::AnyIPv6)
        shown = reachableAddress();
    QString host = shown.toString();
    if (shown.protocol() == QAbstractSocket::IPv6Protocol)
        host = QLatin1Char('[') + host + QLatin1Char(']');
    return QStringLiteral("http://%1:%2/").arg(host).arg(port);
}

QString WebOptions::pageUrl(const QHostAddress& address, quint16 port, const QByteArray& key) {
    return baseUrl(address, port) + QStringLiteral("#key=") + QString::fromLatin1(key);
}
