#include "WebServer.h"

#include "control/ShowControl.h"
#include "effects/EffectFile.h"

#include <QFile>
#include <QFileInfo>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#if QT_CONFIG(ssl)
#include <QSslSocket>
#endif
#include <QUrlQuery>
#include <QWebSocket>
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
#include <QHttpHeaders>
#include <QHttpServerWebSocketUpgradeResponse>
#endif

using Method = QHttpServerRequest::Method;

struct WebServer::Client {
    QWebSocket* socket = nullptr;
    bool answeredPing = true;
    bool missedMessages = false; // a fresh state is owed once it reads again
};

namespace {

const QString EventsPath = QStringLiteral("/api/events");
constexpr int MaxIncomingMessage = 1024;

WebServer::Limits defaultLimits() {
    return {};
}

QJsonObject stateObject(const ShowState& state) {
    QJsonArray steps;
    for (int step = 1; step <= StepCount; ++step) {
        steps.append(
            QJsonObject{{QStringLiteral("enabled"), state.grid.enabled(step)},
                        {QStringLiteral("channels"), EffectGrid::channelText(state.grid.channels(step))}});
    }
    return {
        {QStringLiteral("running"), state.running},
        {QStringLiteral("step"), state.step},
        {QStringLiteral("speed"), state.speed},
        {QStringLiteral("file"),
         state.file.isEmpty() ? QJsonValue() : QJsonValue(QFileInfo(state.file).fileName())},
        {QStringLiteral("modified"), state.modified},
        {QStringLiteral("steps"), steps},
        {QStringLiteral("output"), QJsonObject{{QStringLiteral("name"), state.output.name},
                                               {QStringLiteral("ok"), state.output.ok},
                                               {QStringLiteral("message"), state.output.message}}},
    };
}

QByteArray compact(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// A request body: a JSON object with no name but the allowed ones. An empty body is an empty
// object when allowEmpty.
std::optional<QJsonObject> bodyObject(const QByteArray& body, std::initializer_list<const char*> allowed,
                                      QString* error, bool allowEmpty = false) {
    if (allowEmpty && body.trimmed().isEmpty())
        return QJsonObject();
    QJsonParseError parse{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &parse);
    if (parse.error != QJsonParseError::NoError || !document.isObject()) {
        *error = QStringLiteral("A kérés törzse nem JSON-objektum.");
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        bool known = false;
        for (const char* name : allowed)
            known = known || it.key() == QLatin1String(name);
        if (!known) {
            *error = QStringLiteral("Ismeretlen mező: „%1”.").arg(it.key());
            return std::nullopt;
        }
    }
    return object;
}

} // namespace

WebServer::WebServer(ShowControl& show, const WebKey& key, QObject* parent)
    : WebServer(show, key, defaultLimits(), parent) {}

namespace {

// The server speaks plain HTTP, yet Qt's HTTP server loads a TLS backend as it is made: the
// certificate-only one instead of OpenSSL's keeps libcrypto (3.5 MB resident) out of the player.
// Called before the base class is made; a program that has already loaded a backend keeps it.
QObject* withoutOpenSsl(QObject* parent) {
    // Qt's own warning for every refused WebSocket would let anyone fill the journal, and the
    // certificate-only backend says at every start that it makes no keys (none are wanted).
    QLoggingCategory::setFilterRules(
        QStringLiteral("qt.httpserver.warning=false\nqt.network.ssl.warning=false"));
#if QT_CONFIG(ssl)
    static const bool chosen = [] {
        const QString certificatesOnly = QStringLiteral("cert-only");
        return QSslSocket::availableBackends().contains(certificatesOnly) &&
               QSslSocket::setActiveBackend(certificatesOnly);
    }();
    Q_UNUSED(chosen);
#endif
    return parent;
}

} // namespace

WebServer::WebServer(ShowControl& show, const WebKey& key, const Limits& limits, QObject* parent)
    : QAbstractHttpServer(withoutOpenSsl(parent)), m_show(show), m_key(key), m_limits(limits) {
    connect(&show, &ShowControl::stateChanged, this, &WebServer::sendState);
    connect(&show, &ShowControl::stepPlayed, this, &WebServer::sendStep);
    connect(this, &QAbstractHttpServer::newWebSocketConnection, this, &WebServer::takeWebSockets);
    m_ping.setInterval(m_limits.pingInterval);
    connect(&m_ping, &QTimer::timeout, this, &WebServer::pingClients);
    m_ping.start();
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    // From Qt 6.8 a WebSocket upgrade is decided here, without handleRequest().
    addWebSocketUpgradeVerifier(this, [this](const QHttpServerRequest& request) {
        if (const std::optional<Reply> refusal = upgradeRefusal(request))
            return QHttpServerWebSocketUpgradeResponse::deny(refusal->status, reasonPhrase(refusal->status));
        return QHttpServerWebSocketUpgradeResponse::accept();
    });
#endif
}

WebServer::~WebServer() {
    for (const auto& client : m_clients)
        client->socket->disconnect(this);
}

bool WebServer::listen(const QHostAddress& address, quint16 port, QString* error) {
    auto listener = std::make_unique<WebListener>(m_limits);
    if (!listener->listen(address, port)) {
        if (error) {
            switch (listener->serverError()) {
            case QAbstractSocket::AddressInUseError:
                *error =
                    QStringLiteral("A webes port (%1) foglalt: egy másik program figyel rajta. Válasszon "
                                   "másikat (--web PORT).")
                        .arg(port);
                break;
            case QAbstractSocket::SocketAccessError:
                *error = QStringLiteral("A webes port (%1) megnyitásához nincs jog; 1024 alatti port helyett "
                                        "válasszon nagyobbat, például 8080-at.")
                             .arg(port);
                break;
            default:
                *error = QStringLiteral("A webes kiszolgáló nem indítható a(z) %1 címen, a %2 porton: %3")
                             .arg(address.toString())
                             .arg(port)
                             .arg(listener->errorString());
            }
        }
        return false;
    }
    m_listener = listener.release();
    bind(m_listener);
    return true;
}

std::unique_ptr<WebServer> WebServer::start(ShowControl& show, const WebOptions& options,
                                            const QString& defaultKeyFile, QString* error) {
    QString problem;
    const std::optional<WebKey> key =
        WebKey::loadOrCreate(options.keyFile.isEmpty() ? defaultKeyFile : options.keyFile, problem);
    auto server = key ? std::make_unique<WebServer>(show, *key) : nullptr;
    if (!server || !server->listen(options.address, options.port, &problem)) {
        if (error)
            *error = problem;
        return nullptr;
    }
    return server;
}

QString WebServer::pageUrl() const {
    return m_listener ? WebOptions::pageUrl(m_listener->serverAddress(), port(), m_key.text()) : QString();
}

QHostAddress WebServer::address() const {
    return m_listener ? m_listener->serverAddress() : QHostAddress();
}

quint16 WebServer::port() const {
    return m_listener ? m_listener->serverPort() : 0;
}

int WebServer::openConnections() const {
    return m_listener ? m_listener->openConnections() : 0;
}

static void loadPageResource() {
    Q_INIT_RESOURCE(web); // the resource of a static library is not pulled in by itself
}

QByteArray WebServer::page() {
    static const bool loaded = (loadPageResource(), true);
    Q_UNUSED(loaded);
    QFile file(QStringLiteral(":/web/index.html"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

namespace {

void writeReply(QHttpServerResponder& responder, int status, const QByteArray& type, const QByteArray& body,
                const QList<std::pair<QByteArray, QByteArray>>& headers) {
    const auto code = QHttpServerResponder::StatusCode(status);
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    QHttpHeaders all;
    all.append(QHttpHeaders::WellKnownHeader::ContentType, type);
    for (const auto& [name, value] : headers)
        all.append(name, value);
    responder.write(body, all, code);
#else
    responder.writeStatusLine(code);
    responder.writeHeader("Content-Type", type);
    for (const auto& [name, value] : headers)
        responder.writeHeader(name, value);
    responder.writeHeader("Content-Length", QByteArray::number(body.size()));
    responder.writeBody(body);
#endif
}

} // namespace

#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
bool WebServer::handleRequest(const QHttpServerRequest& request, QHttpServerResponder& responder) {
    const Reply reply = answer(request);
    writeReply(responder, reply.status, reply.type, reply.body, reply.headers);
    return true;
}

void WebServer::missingHandler(const QHttpServerRequest& request, QHttpServerResponder& responder) {
    handleRequest(request, responder);
}
#else
// Before Qt 6.8 an upgrade request comes here first: true lets the upgrade go on, and nothing may
// be written then; false has the refusal written by missingHandler(), and the connection closed.
bool WebServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    if (request.value("upgrade").compare("websocket", Qt::CaseInsensitive) == 0) {
        m_upgradeRefusal = upgradeRefusal(request);
        return !m_upgradeRefusal;
    }
    QHttpServerResponder responder = makeResponder(request, socket);
    const Reply reply = answer(request);
    writeReply(responder, reply.status, reply.type, reply.body, reply.headers);
    return true;
}

void WebServer::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) {
    QHttpServerResponder responder = makeResponder(request, socket);
    const Reply reply = m_upgradeRefusal ? *m_upgradeRefusal : answer(request);
    m_upgradeRefusal.reset();
    writeReply(responder, reply.status, reply.type, reply.body, reply.headers);
}
#endif

namespace {

WebServer::Reply json(int status, const QJsonObject& object) {
    return {status, "application/json", compact(object), {{"Cache-Control", "no-store"}}};
}

#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
QByteArray reasonPhrase(int status) {
    switch (status) {
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 429:
        return "Too Many Requests";
    default:
        return "Bad Request";
    }
}
#endif

WebServer::Reply failure(int status, const QString& message) {
    return json(status, QJsonObject{{QStringLiteral("error"), message}});
}

WebServer::Reply stateReply(const ShowControl& show) {
    return json(200, stateObject(show.state()));
}

WebServer::Reply resultReply(const ShowControl::Result& result, const ShowControl& show) {
    switch (result.outcome) {
    case ShowControl::Outcome::Done:
        return stateReply(show);
    case ShowControl::Outcome::Refused:
        return failure(400, result.message);
    case ShowControl::Outcome::NotFound:
        return failure(404, result.message);
    case ShowControl::Outcome::Conflict:
        return failure(409, result.message);
    case ShowControl::Outcome::Failed:
        break;
    }
    return failure(500, result.message);
}

// The page: no script, style, frame or connection from anywhere but itself.
const QList<std::pair<QByteArray, QByteArray>> PageHeaders{
    {"Cache-Control", "no-cache"},
    {"Content-Security-Policy",
     "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; img-src data:; "
     "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'"},
    {"X-Content-Type-Options", "nosniff"},
    {"Referrer-Policy", "no-referrer"},
};

QByteArrayView bearerToken(const QByteArray& authorization) {
    QByteArrayView value(authorization);
    value = value.trimmed();
    if (value.size() < 7 || QByteArrayView(value.first(7)).compare("bearer ", Qt::CaseInsensitive) != 0)
        return {};
    return value.sliced(7).trimmed();
}

} // namespace

WebServer::Reply WebServer::answer(const QHttpServerRequest& request) {
    const QString path = request.url().path();
    if (path == QLatin1String("/")) {
        if (request.method() != Method::Get)
            return failure(405, QStringLiteral("Az oldal csak GET-tel kérhető."));
        return {200, "text/html; charset=utf-8", page(), PageHeaders};
    }
    if (std::optional<Reply> refused =
            refuseKey(request.remoteAddress(), bearerToken(request.value("authorization"))))
        return *refused;
    return answerApi(request, path);
}

std::optional<WebServer::Reply> WebServer::refuseKey(const QHostAddress& peer, QByteArrayView key) {
    if (m_failedKeys.blocked(peer)) {
        Reply reply = failure(429, QStringLiteral("Erről a címről túl sok hibás kulcs érkezett; próbálja "
                                                  "újra egy perc múlva."));
        reply.headers.append(std::pair<QByteArray, QByteArray>("Retry-After", "60"));
        return reply;
    }
    if (m_key.matches(key))
        return std::nullopt;
    m_failedKeys.recordFailure(peer);
    Reply reply =
        failure(401, key.isEmpty() ? QStringLiteral("Hiányzik a kulcs (Authorization: Bearer KULCS).")
                                   : QStringLiteral("Hibás kulcs."));
    reply.headers.append(std::pair<QByteArray, QByteArray>("WWW-Authenticate", "Bearer realm=\"ktr\""));
    return reply;
}

WebServer::Reply WebServer::answerApi(const QHttpServerRequest& request, const QString& path) {
    const Method method = request.method();
    const auto wrongMethod = [&](const char* allowed) {
        Reply reply =
            failure(405, QStringLiteral("Ez a cím csak %1 kérést fogad.").arg(QLatin1String(allowed)));
        reply.headers.append(std::pair<QByteArray, QByteArray>("Allow", allowed));
        return reply;
    };
    QString error;
    if (path == QLatin1String("/api/state")) {
        if (method != Method::Get)
            return wrongMethod("GET");
        return stateReply(m_show);
    }
    if (path == QLatin1String("/api/start") || path == QLatin1String("/api/stop")) {
        if (method != Method::Post)
            return wrongMethod("POST");
        if (path.endsWith(QLatin1String("start")))
            m_show.start();
        else
            m_show.stop();
        return stateReply(m_show);
    }
    if (path == QLatin1String("/api/speed")) {
        if (method != Method::Put)
            return wrongMethod("PUT");
        const std::optional<QJsonObject> body = bodyObject(request.body(), {"speed"}, &error);
        if (!body)
            return failure(400, error);
        const QJsonValue speed = body->value(QStringLiteral("speed"));
        const double value = speed.toDouble(-1);
        if (!speed.isDouble() || value != double(qint64(value)) || value < SpeedMin || value > SpeedMax)
            return failure(400,
                           QStringLiteral("A sebesség (speed) %1 és %2 közötti egész szám (ezredmásodperc).")
                               .arg(SpeedMin)
                               .arg(SpeedMax));
        return resultReply(m_show.setSpeed(int(value)), m_show);
    }
    if (path.startsWith(QLatin1String("/api/steps/"))) {
        if (method != Method::Put)
            return wrongMethod("PUT");
        const QString number = path.mid(11);
        bool ok = !number.isEmpty() && number.size() <= 2 && !number.startsWith(QLatin1Char('0'));
        const int step = ok ? number.toInt(&ok) : 0;
        if (!ok || step < 1 || step > StepCount)
            return failure(400, QStringLiteral("A lépés száma 1 és %1 közötti egész szám.").arg(StepCount));
        const std::optional<QJsonObject> body = bodyObject(request.body(), {"enabled", "channels"}, &error);
        if (!body)
            return failure(400, error);
        std::optional<bool> enabled;
        std::optional<EffectGrid::Channels> channels;
        if (body->contains(QStringLiteral("enabled"))) {
            if (!body->value(QStringLiteral("enabled")).isBool())
                return failure(400, QStringLiteral("Az „enabled” értéke true vagy false."));
            enabled = body->value(QStringLiteral("enabled")).toBool();
        }
        if (body->contains(QStringLiteral("channels"))) {
            channels = EffectGrid::channelsFromText(body->value(QStringLiteral("channels")).toString());
            if (!body->value(QStringLiteral("channels")).isString() || !channels)
                return failure(400, QStringLiteral("A „channels” értéke 12 karakter, mindegyik „x” (be) vagy "
                                                   "„0” (ki), az 1. csatornával kezdve."));
        }
        if (!enabled && !channels)
            return failure(400, QStringLiteral("Az „enabled” vagy a „channels” mező kell."));
        return resultReply(m_show.setStep(step, enabled, channels), m_show);
    }
    if (path == QLatin1String("/api/effects")) {
        if (method != Method::Get)
            return wrongMethod("GET");
        return json(200,
                    QJsonObject{{QStringLiteral("effects"), QJsonArray::fromStringList(m_show.effects())}});
    }
    if (path == QLatin1String("/api/open")) {
        if (method != Method::Post)
            return wrongMethod("POST");
        const std::optional<QJsonObject> body = bodyObject(request.body(), {"name", "discard"}, &error);
        if (!body)
            return failure(400, error);
        const QJsonValue name = body->value(QStringLiteral("name"));
        const QJsonValue discard = body->value(QStringLiteral("discard"));
        if (!name.isString() || (!discard.isUndefined() && !discard.isBool()))
            return failure(
                400, QStringLiteral("A „name” mező egy effektfájl neve (a „discard” true vagy false)."));
        const QString file = name.toString();
        if (file.isEmpty() || file.contains(QLatin1Char('/')) || file.contains(QLatin1Char('\\')) ||
            file == QLatin1String(".") || file.contains(QLatin1String("..")))
            return failure(400,
                           QStringLiteral("A fájl neve mappa nélküli név a listából (GET /api/effects)."));
        if (!m_show.effects().contains(file))
            return failure(404, QStringLiteral("Nincs ilyen effekt a műsor mappájában: „%1”.").arg(file));
        return resultReply(m_show.open(file, discard.toBool(false)), m_show);
    }
    if (path == QLatin1String("/api/save")) {
        if (method != Method::Post)
            return wrongMethod("POST");
        const std::optional<QJsonObject> body = bodyObject(request.body(), {"force"}, &error, true);
        if (!body)
            return failure(400, error);
        const QJsonValue force = body->value(QStringLiteral("force"));
        if (!force.isUndefined() && !force.isBool())
            return failure(400, QStringLiteral("A „force” értéke true vagy false."));
        return resultReply(m_show.save(force.toBool(false)), m_show);
    }
    if (path == EventsPath)
        return failure(400,
                       QStringLiteral("Ez a cím WebSocket-kapcsolatot vár (ws://…/api/events?key=KULCS)."));
    return failure(404, QStringLiteral("Nincs ilyen cím: %1").arg(path));
}

// The WebSocket of the events: the key comes in the address (a browser cannot set headers on a
// WebSocket), and only the page's own origin may open it: a browser sends the Origin of the page
// that opens a WebSocket, and no CORS rule stops another site's script from trying.
std::optional<WebServer::Reply> WebServer::upgradeRefusal(const QHttpServerRequest& request) {
    if (request.url().path() != EventsPath)
        return failure(404, QStringLiteral("Nincs ilyen cím: %1").arg(request.url().path()));
    const QByteArray key = request.query().queryItemValue(QStringLiteral("key")).toLatin1();
    if (std::optional<Reply> refused = refuseKey(request.remoteAddress(), key))
        return refused;
    const QByteArray origin = request.value("origin");
    if (!origin.isEmpty() && origin.compare("http://" + request.value("host"), Qt::CaseInsensitive) != 0)
        return failure(403, QStringLiteral("Az eseményfolyam csak a műsor saját oldaláról nyitható meg."));
    return std::nullopt;
}

void WebServer::takeWebSockets() {
    while (std::unique_ptr<QWebSocket> taken = nextPendingWebSocketConnection()) {
        QWebSocket* socket = taken.release();
        socket->setParent(this);
        if (m_listener)
            m_listener->releaseWebSocket(socket->peerAddress(), socket->peerPort());
        socket->setMaxAllowedIncomingMessageSize(MaxIncomingMessage);
        socket->setMaxAllowedIncomingFrameSize(MaxIncomingMessage);
        auto client = std::make_unique<Client>();
        client->socket = socket;
        Client* raw = client.get();
        m_clients.push_back(std::move(client));
        connect(socket, &QWebSocket::disconnected, this, [this, socket] { dropClient(socket); });
        connect(socket, &QWebSocket::pong, this, [raw] { raw->answeredPing = true; });
        connect(socket, &QWebSocket::bytesWritten, this, [this, raw] {
            if (raw->missedMessages && raw->socket->bytesToWrite() <= m_limits.maxQueuedBytes / 2) {
                raw->missedMessages = false;
                send(*raw, stateMessage());
            }
        });
        send(*raw, stateMessage());
    }
}

void WebServer::dropClient(QWebSocket* socket) {
    for (auto it = m_clients.begin(); it != m_clients.end(); ++it) {
        if ((*it)->socket == socket) {
            m_clients.erase(it);
            break;
        }
    }
    socket->disconnect(this);
    socket->deleteLater();
}

void WebServer::send(Client& client, const QString& message) {
    if (client.socket->bytesToWrite() > m_limits.maxQueuedBytes) {
        ++m_dropped;
        client.missedMessages = true;
        return;
    }
    client.socket->sendTextMessage(message);
}

void WebServer::sendToAll(const QString& message) {
    for (const auto& client : m_clients)
        send(*client, message);
}

QString WebServer::stateMessage() const {
    QJsonObject state = stateObject(m_show.state());
    state.insert(QStringLiteral("type"), QStringLiteral("state"));
    return QString::fromUtf8(compact(state));
}

void WebServer::sendState() {
    if (!m_clients.empty())
        sendToAll(stateMessage());
}

void WebServer::sendStep(int step, EffectGrid::Channels channels) {
    if (m_clients.empty())
        return;
    sendToAll(QStringLiteral("{\"type\":\"step\",\"step\":%1,\"channels\":\"%2\"}")
                  .arg(step)
                  .arg(EffectGrid::channelText(channels)));
}

void WebServer::pingClients() {
    std::vector<QWebSocket*> silent;
    for (const auto& client : m_clients) {
        if (!client->answeredPing) {
            silent.push_back(client->socket);
            continue;
        }
        client->answeredPing = false;
        client->socket->ping();
    }
    for (QWebSocket* socket : silent) {
        socket->abort();
        dropClient(socket);
    }
}
