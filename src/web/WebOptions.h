#pragma once

#include <QCommandLineOption>
#include <QHostAddress>
#include <QList>
#include <QString>

class QCommandLineParser;

// "--web [ADDR:]PORT" and "--web-key-file FILE", the same for the window and the player.
struct WebOptions {
    bool enabled = false;
    QHostAddress address{QHostAddress::Any};
    quint16 port = 0;
    QString keyFile; // empty: the program's own (WebKey::windowKeyPath / playerKeyPath)

    static QList<QCommandLineOption> commandLineOptions();
    // Takes the options from a parser they were added to. False with a Hungarian message in error
    // when a value is malformed; the options are then unchanged.
    bool applyCommandLine(const QCommandLineParser& parser, QString* error);
    // "8080", "127.0.0.1:8080", "[::1]:8080" or "localhost:8080"; false with a message.
    bool setListen(const QString& text, QString* error);

    // The address a phone opens, with the key in the fragment (never sent to the server by a
    // browser): http://HOST:PORT/#key=KEY. Listening on every address, HOST is this machine's
    // first address on a network, so that the link works from another device.
    static QString pageUrl(const QHostAddress& address, quint16 port, const QByteArray& key);
    // The same without the key.
    static QString baseUrl(const QHostAddress& address, quint16 port);
};
