#include "WebListener.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTimer>

// Lives as a child of its socket, whoever owns the socket by then (the HTTP server, the WebSocket
// that took it over): it goes when the socket goes, and only then is the connection no longer
// counted. The HTTP server may disconnect every signal of the socket when it hands it to its
// WebSocket server, so nothing here depends on the socket's signals after that.
class WebListener::Guard : public QObject {
public:
    Guard(WebListener& listener, QTcpSocket& socket)
        : QObject(&socket), m_listener(&listener), m_socket(socket) {
        m_idle.setSingleShot(true);
        m_idle.setInterval(listener.m_limits.idleTimeout);
        connect(&m_idle, &QTimer::timeout, this, [this] { m_socket.abort(); });
        m_idle.start();
        // Before the HTTP server's own slots, which are connected when it takes the connection.
        connect(&socket, &QIODevice::readyRead, this, &Guard::received);
        connect(&socket, &QIODevice::bytesWritten, this, &Guard::answered);
    }
    ~Guard() override {
        if (m_listener)
            m_listener->m_open.remove(&m_socket);
    }

    void releaseAsWebSocket() {
        m_webSocket = true;
        m_idle.stop();
        disconnect(&m_socket, nullptr, this, nullptr);
    }
    QTcpSocket& socket() { return m_socket; }

private:
    void received() {
        if (m_webSocket)
            return;
        // The server reads everything available in its own slot, after this one: what is
        // available now arrived since the last call.
        m_unanswered += m_socket.bytesAvailable();
        if (m_unanswered > m_listener->m_limits.maxRequestBytes) {
            // The server must not parse any of it: its slots go, and the connection with them.
            disconnect(&m_socket, &QIODevice::readyRead, nullptr, nullptr);
            m_listener->refuse(&m_socket, 413, "Payload Too Large",
                               QStringLiteral("A kérés túl nagy (legfeljebb %1 bájt).")
                                   .arg(m_listener->m_limits.maxRequestBytes));
        }
    }
    void answered() {
        if (m_webSocket)
            return;
        m_unanswered = 0;
        m_idle.start();
    }

    QPointer<WebListener> m_listener;
    QTcpSocket& m_socket;
    QTimer m_idle;
    qint64 m_unanswered = 0;
    bool m_webSocket = false;
};

namespace {
constexpr int RefusedLinger = 500; // ms
}

WebListener::WebListener(const Limits& limits, QObject* parent) : QTcpServer(parent), m_limits(limits) {}

// A guard that outlives this object (its socket owned elsewhere) finds its QPointer cleared.
WebListener::~WebListener() = default;

void WebListener::incomingConnection(qintptr descriptor) {
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    if (m_open.size() >= m_limits.maxConnections) {
        refuse(socket, 503, "Service Unavailable",
               QStringLiteral("Túl sok kapcsolat; próbálja újra kicsit később."));
        return;
    }
    m_open.insert(socket, new Guard(*this, *socket));
    addPendingConnection(socket);
}

void WebListener::releaseWebSocket(const QHostAddress& peer, quint16 port) {
    for (const QPointer<Guard>& guard : std::as_const(m_open)) {
        if (guard && guard->socket().peerPort() == port && guard->socket().peerAddress() == peer) {
            guard->releaseAsWebSocket();
            return;
        }
    }
}

// An answer written here, outside the HTTP server: it never saw this connection, or must not
// read any more of it. What the client still sends is read and thrown away (closing with unread
// data would reset the connection and lose the answer); it is closed after a moment.
void WebListener::refuse(QTcpSocket* socket, int status, const QByteArray& reason, const QString& message) {
    if (socket->isTransactionStarted())
        socket->commitTransaction();
    socket->readAll();
    connect(socket, &QIODevice::readyRead, socket, [socket] { socket->readAll(); });
    const QByteArray body =
        QJsonDocument(QJsonObject{{QStringLiteral("error"), message}}).toJson(QJsonDocument::Compact);
    socket->write("HTTP/1.1 " + QByteArray::number(status) + ' ' + reason +
                  "\r\nContent-Type: application/json\r\nContent-Length: " + QByteArray::number(body.size()) +
                  "\r\nConnection: close\r\n\r\n" + body);
    QTimer::singleShot(RefusedLinger, socket, &QAbstractSocket::disconnectFromHost);
    QTimer::singleShot(2 * RefusedLinger, socket, &QAbstractSocket::abort);
    if (!m_open.contains(socket))
        connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
}
