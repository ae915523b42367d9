#pragma once

#include "FailedKeyLimit.h"
#include "WebKey.h"
#include "WebListener.h"
#include "WebOptions.h"
#include "effects/EffectGrid.h"

#include <QAbstractHttpServer>
#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QTimer>

#include <memory>

class QWebSocket;
class ShowControl;

// The show's web page and HTTP API (docs/API.md), one more client of ShowControl: it reads the
// show through state() and its signals, steers it through the same calls as the window's
// handlers, and keeps no copy of the effect. It runs on the thread of the ShowControl it is given
// (the window's or the player's), never on the playback thread; WebListener keeps slow or
// malicious clients from holding that thread, and a WebSocket that does not read has its messages
// dropped (and a fresh state sent once it reads again) instead of queued without end.
class WebServer : public QAbstractHttpServer {
    Q_OBJECT
public:
    struct Limits : WebListener::Limits {
        qint64 maxQueuedBytes = 64 * 1024; // per WebSocket, before messages are dropped
        int pingInterval = 20'000;         // ms; a WebSocket that has not answered the last ping is closed
    };

    // An answer to one request.
    struct Reply {
        int status = 200;
        QByteArray type = "application/json";
        QByteArray body;
        QList<std::pair<QByteArray, QByteArray>> headers;
    };

    WebServer(ShowControl& show, const WebKey& key, const Limits& limits, QObject* parent = nullptr);
    WebServer(ShowControl& show, const WebKey& key, QObject* parent = nullptr);
    ~WebServer() override;

    // Loads (or makes) the key, then listens where options say: the key file is options.keyFile,
    // else defaultKeyFile. No server, and a Hungarian message in error, when either fails.
    static std::unique_ptr<WebServer> start(ShowControl& show, const WebOptions& options,
                                            const QString& defaultKeyFile, QString* error);

    // Starts listening. False with a Hungarian message (the port in use, an address this machine
    // does not have) and nothing listening.
    bool listen(const QHostAddress& address, quint16 port, QString* error);
    QHostAddress address() const;
    quint16 port() const;
    QByteArray key() const { return m_key.text(); }
    // The address a phone opens, the key in it: http://HOST:PORT/#key=KEY.
    QString pageUrl() const;

    int eventClients() const { return int(m_clients.size()); }
    int openConnections() const;
    // Messages not sent to a WebSocket that was not reading.
    quint64 droppedMessages() const { return m_dropped; }

    // For tests: the clock of the wrong-key limit, and the ping round by hand.
    void setClock(FailedKeyLimit::Clock clock) { m_failedKeys = FailedKeyLimit(std::move(clock)); }
    void pingClients();

    // The page: one HTML file with its style and script inside.
    static QByteArray page();

protected:
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    bool handleRequest(const QHttpServerRequest& request, QHttpServerResponder& responder) override;
    void missingHandler(const QHttpServerRequest& request, QHttpServerResponder& responder) override;
#else
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;
#endif

private:
    struct Client;
    Reply answer(const QHttpServerRequest& request);
    Reply answerApi(const QHttpServerRequest& request, const QString& path);
    std::optional<Reply> refuseKey(const QHostAddress& peer, QByteArrayView key);
    std::optional<Reply> upgradeRefusal(const QHttpServerRequest& request);
    void takeWebSockets();
    void sendToAll(const QString& message);
    void send(Client& client, const QString& message);
    QString stateMessage() const;
    void sendState();
    void sendStep(int step, EffectGrid::Channels channels);
    void dropClient(QWebSocket* socket);

    ShowControl& m_show;
    WebKey m_key;
    Limits m_limits;
    WebListener* m_listener = nullptr;
    FailedKeyLimit m_failedKeys;
    std::vector<std::unique_ptr<Client>> m_clients;
    QTimer m_ping;
    quint64 m_dropped = 0;
    std::optional<Reply> m_upgradeRefusal; // before Qt 6.8: from handleRequest() to missingHandler()
};
