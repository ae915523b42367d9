#pragma once

#include <QHash>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>

class QTcpSocket;

// The listening socket under the HTTP server, which guards every connection before the server
// reads a byte of it, so that no client can hold the show's thread or its memory:
// - past MaxConnections open connections a new one gets 503 and is closed;
// - a connection that sends more than MaxRequestBytes before it gets an answer gets 413 and is
//   closed, before the server has buffered it;
// - a connection that has no answer within IdleTimeout of connecting or of its last answer (a
//   half-sent request, a kept-alive connection left idle) is closed.
// WebSocket connections are released from the last two once the server has upgraded them.
class WebListener : public QTcpServer {
    Q_OBJECT
public:
    struct Limits {
        int maxConnections = 64;
        qint64 maxRequestBytes = 16 * 1024;
        int idleTimeout = 10'000; // ms
    };

    explicit WebListener(const Limits& limits, QObject* parent = nullptr);
    ~WebListener() override;

    int openConnections() const { return int(m_open.size()); }
    // Stops the request checks for the connection from this peer, now a WebSocket.
    void releaseWebSocket(const QHostAddress& peer, quint16 port);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    class Guard;
    void refuse(QTcpSocket* socket, int status, const QByteArray& reason, const QString& message);

    Limits m_limits;
    QHash<QTcpSocket*, QPointer<Guard>> m_open;
};
