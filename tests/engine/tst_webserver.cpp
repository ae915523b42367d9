#include "NumberedEffect.h"
#include "RecordingPort.h"
#include "player/HeadlessPlayer.h"
#include "player/PlayerFile.h"
#include "player/PlayerStatus.h"
#include "web/WebServer.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QWebSocket>
#include <QtTest>

#include <sys/stat.h>

namespace {

const QByteArray Key = "0123456789abcdef0123456789abcdef";
const QByteArray WrongKey = "0123456789abcdef0123456789abcdee";

QByteArray effectFile() {
    return numberedEffect({1, 2, 3, 4}, "100");
}

struct Answer {
    int status = 0;
    QJsonObject body;
};

// The player's own show (its engine ticking by hand) behind a server on a free loopback port.
struct Rig {
    explicit Rig(const WebServer::Limits& limits = {}) {
        out.open(QIODevice::ReadWrite);
        err.open(QIODevice::ReadWrite);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(effectFile());
        file.close();
        QFile::copy(path, dir.filePath(QStringLiteral("other.eff")));
        QString error;
        player.start(*readEffectFile(path, error), std::nullopt, path);
        server = std::make_unique<WebServer>(player.showControl(), *WebKey::fromText(Key), limits);
        listening = server->listen(QHostAddress::LocalHost, 0, &error);
        net.setProxy(QNetworkProxy::NoProxy);
    }
    QUrl url(const QString& path, const char* scheme = "http") const {
        return QUrl(
            QStringLiteral("%1://127.0.0.1:%2%3").arg(QLatin1String(scheme)).arg(server->port()).arg(path));
    }
    Answer call(const QByteArray& method, const QString& path, const QByteArray& body = {},
                const QByteArray& key = Key) {
        QNetworkRequest request(url(path));
        if (!key.isEmpty())
            request.setRawHeader("Authorization", "Bearer " + key);
        std::unique_ptr<QNetworkReply> reply(net.sendCustomRequest(request, method, body));
        QSignalSpy finished(reply.get(), &QNetworkReply::finished);
        if (!reply->isFinished() && !finished.wait(5000))
            return {};
        return {reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                QJsonDocument::fromJson(reply->readAll()).object()};
    }
    QByteArray fileBytes() const {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }
    // Everything a request could change.
    QString snapshot() {
        const ShowState state = player.showControl().state();
        return QStringLiteral("%1 %2 %3 %4 %5 %6")
            .arg(state.running)
            .arg(state.speed)
            .arg(state.file)
            .arg(state.grid.enableText())
            .arg(EffectGrid::channelText(state.grid.channels(3)))
            .arg(QString::fromLatin1(fileBytes().toHex()));
    }

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("show.eff"));
    QBuffer out;
    QBuffer err;
    RecordingPort port;
    PlayerStatus status{out, err, false};
    HeadlessPlayer player{port, status, EngineThreading::Inline, QStringLiteral("teszt")};
    std::unique_ptr<WebServer> server;
    bool listening = false;
    QNetworkAccessManager net;
};

// Opens a WebSocket to the events; connected or not once the handshake is over.
std::unique_ptr<QWebSocket> openEvents(Rig& rig, const QByteArray& key, const QByteArray& origin = {}) {
    auto socket = std::make_unique<QWebSocket>();
    QNetworkRequest request(rig.url(QStringLiteral("/api/events?key=") + QString::fromLatin1(key), "ws"));
    if (!origin.isEmpty())
        request.setRawHeader("Origin", origin);
    socket->open(request);
    return socket;
}

} // namespace

class WebServerTest : public QObject {
    Q_OBJECT
private slots:
    void everyRouteNeedsTheKey_data();
    void everyRouteNeedsTheKey();
    void badRequestsChangeNothing_data();
    void badRequestsChangeNothing();
    void requestsSteerTheShow();
    void wrongKeysFromOneAddressGet429();
    void eventStreamMatchesThePort();
    void eventStreamRefused_data();
    void eventStreamRefused();
    void hostileConnectionsAreCut();
    void stalledReaderLosesMessagesOthersGetAll();
    void keyFile_data();
    void keyFile();
    void playerEndsWhenThePortIsTaken_data();
    void playerEndsWhenThePortIsTaken();
};

void WebServerTest::everyRouteNeedsTheKey_data() {
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("body");
    const struct {
        const char* method;
        const char* path;
        const char* body;
    } routes[] = {
        {"GET", "/api/state", ""},
        {"POST", "/api/start", ""},
        {"POST", "/api/stop", ""},
        {"PUT", "/api/speed", R"({"speed": 50})"},
        {"PUT", "/api/steps/3", R"({"channels": "xxxxxxxxxxxx", "enabled": true})"},
        {"GET", "/api/effects", ""},
        {"POST", "/api/open", R"({"name": "other.eff"})"},
        {"POST", "/api/save", R"({"force": true})"},
        {"GET", "/api/events", ""},
        {"GET", "/api/no-such-route", ""},
    };
    for (const auto& route : routes) {
        for (const char* key : {"no key", "wrong key"}) {
            QTest::addRow("%s %s, %s", route.method, route.path, key)
                << QByteArray(route.method) << QString::fromLatin1(route.path) << QByteArray(route.body);
        }
    }
}

void WebServerTest::everyRouteNeedsTheKey() {
    QFETCH(QByteArray, method);
    QFETCH(QString, path);
    QFETCH(QByteArray, body);
    Rig rig;
    QVERIFY(rig.listening);
    rig.call("POST", QStringLiteral("/api/stop")); // a START would change the state too
    const QString before = rig.snapshot();
    const bool noKey = QByteArray(QTest::currentDataTag()).endsWith("no key");
    const Answer answer = rig.call(method, path, body, noKey ? QByteArray() : WrongKey);
    QCOMPARE(answer.status, 401);
    QVERIFY(!answer.body.value(QStringLiteral("error")).toString().isEmpty());
    QCOMPARE(rig.snapshot(), before);
    // The page itself needs no key; it holds none.
    QCOMPARE(rig.call("GET", QStringLiteral("/"), {}, {}).status, 200);
}

void WebServerTest::badRequestsChangeNothing_data() {
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    const auto row = [](const char* name, const char* method, const char* path, const char* body,
                        int status) {
        QTest::newRow(name) << QByteArray(method) << QString::fromLatin1(path) << QByteArray(body) << status;
    };
    row("speed missing", "PUT", "/api/speed", "{}", 400);
    row("speed 1", "PUT", "/api/speed", R"({"speed": 1})", 400);
    row("speed 801", "PUT", "/api/speed", R"({"speed": 801})", 400);
    row("speed 2.5", "PUT", "/api/speed", R"({"speed": 2.5})", 400);
    row("speed as text", "PUT", "/api/speed", R"({"speed": "100"})", 400);
    row("not JSON", "PUT", "/api/speed", "speed=100", 400);
    row("an array", "PUT", "/api/speed", "[100]", 400);
    row("unknown field", "PUT", "/api/speed", R"({"speed": 100, "x": 1})", 400);
    row("step 0", "PUT", "/api/steps/0", R"({"enabled": true})", 400);
    row("step 23", "PUT", "/api/steps/23", R"({"enabled": true})", 400);
    row("step 03", "PUT", "/api/steps/03", R"({"enabled": true})", 400);
    row("step x", "PUT", "/api/steps/x", R"({"enabled": true})", 400);
    row("channels short", "PUT", "/api/steps/3", R"({"channels": "x0x"})", 400);
    row("channels 13", "PUT", "/api/steps/3", R"({"channels": "x0x0x0x0x0x0x"})", 400);
    row("channels X", "PUT", "/api/steps/3", R"({"channels": "X00000000000"})", 400);
    row("channels number", "PUT", "/api/steps/3", R"({"channels": 4095})", 400);
    row("good channels, bad enabled", "PUT", "/api/steps/3", R"({"channels": "xxxxxxxxxxxx", "enabled": 1})",
        400);
    row("nothing to set", "PUT", "/api/steps/3", "{}", 400);
    row("open a path", "POST", "/api/open", R"({"name": "../show.eff"})", 400);
    row("open a folder's file", "POST", "/api/open", R"({"name": "a/other.eff"})", 400);
    row("open no such file", "POST", "/api/open", R"({"name": "none.eff"})", 404);
    row("open without a name", "POST", "/api/open", "{}", 400);
    row("save force as text", "POST", "/api/save", R"({"force": "yes"})", 400);
    row("start by GET", "GET", "/api/start", "", 405);
    row("state by POST", "POST", "/api/state", "", 405);
    row("events without WebSocket", "GET", "/api/events", "", 400);
}

void WebServerTest::badRequestsChangeNothing() {
    QFETCH(QByteArray, method);
    QFETCH(QString, path);
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    Rig rig;
    QVERIFY(rig.listening);
    const QString before = rig.snapshot();
    const Answer answer = rig.call(method, path, body);
    QCOMPARE(answer.status, status);
    QVERIFY(!answer.body.value(QStringLiteral("error")).toString().isEmpty());
    QCOMPARE(rig.snapshot(), before);
}

void WebServerTest::requestsSteerTheShow() {
    Rig rig;
    QVERIFY(rig.listening);
    Answer answer = rig.call("GET", QStringLiteral("/api/state"));
    QCOMPARE(answer.status, 200);
    QCOMPARE(answer.body.value(QStringLiteral("file")).toString(), QStringLiteral("show.eff"));
    QCOMPARE(answer.body.value(QStringLiteral("steps")).toArray().size(), StepCount);
    QCOMPARE(answer.body.value(QStringLiteral("output")).toObject().value(QStringLiteral("name")).toString(),
             QStringLiteral("teszt"));

    QVERIFY(!rig.call("POST", QStringLiteral("/api/stop")).body.value(QStringLiteral("running")).toBool());
    QVERIFY(rig.call("POST", QStringLiteral("/api/start")).body.value(QStringLiteral("running")).toBool());
    QCOMPARE(rig.call("PUT", QStringLiteral("/api/speed"), R"({"speed": 120})")
                 .body.value(QStringLiteral("speed")),
             120);
    QCOMPARE(rig.player.interval(), 120);
    answer =
        rig.call("PUT", QStringLiteral("/api/steps/6"), R"({"channels": "x0x0x0000000", "enabled": true})");
    QCOMPARE(answer.status, 200);
    QVERIFY(answer.body.value(QStringLiteral("modified")).toBool());
    QCOMPARE(rig.player.showControl().grid().enableText(), QStringLiteral("xxxx0x0000000000000000"));

    // Save writes the effect's bytes; a file changed on disk meanwhile is kept unless forced.
    QCOMPARE(rig.call("POST", QStringLiteral("/api/save")).status, 200);
    QVERIFY(rig.fileBytes().startsWith(effectFile().left(5 * 14) + "x0x0x0000000\r\n"));
    QVERIFY(rig.fileBytes().endsWith("120\r\nxxxx0x0000000000000000\r\n"));
    QFile other(rig.path);
    QVERIFY(other.open(QIODevice::Append));
    other.write(" ");
    other.close();
    rig.call("PUT", QStringLiteral("/api/steps/7"), R"({"enabled": true})");
    QCOMPARE(rig.call("POST", QStringLiteral("/api/save")).status, 409);
    QVERIFY(rig.fileBytes().endsWith(" "));
    QCOMPARE(rig.call("POST", QStringLiteral("/api/save"), R"({"force": true})").status, 200);
    QVERIFY(rig.fileBytes().endsWith("xxxx0xx000000000000000\r\n"));

    QCOMPARE(rig.call("GET", QStringLiteral("/api/effects")).body.value(QStringLiteral("effects")).toArray(),
             QJsonArray({QStringLiteral("other.eff"), QStringLiteral("show.eff")}));
    answer = rig.call("POST", QStringLiteral("/api/open"), R"({"name": "other.eff"})");
    QCOMPARE(answer.status, 200);
    QCOMPARE(answer.body.value(QStringLiteral("file")).toString(), QStringLiteral("other.eff"));
}

void WebServerTest::wrongKeysFromOneAddressGet429() {
    Rig rig;
    QVERIFY(rig.listening);
    qint64 now = 0;
    rig.server->setClock([&now] { return now; });
    for (int i = 0; i < FailedKeyLimit::Allowed; ++i)
        QCOMPARE(rig.call("GET", QStringLiteral("/api/state"), {}, WrongKey).status, 401);
    // Past the limit even the right key is refused, until the minute has passed.
    QCOMPARE(rig.call("GET", QStringLiteral("/api/state"), {}, Key).status, 429);
    now += FailedKeyLimit::Window - 1;
    QCOMPARE(rig.call("GET", QStringLiteral("/api/state"), {}, Key).status, 429);
    now += 1;
    QCOMPARE(rig.call("GET", QStringLiteral("/api/state"), {}, Key).status, 200);
}

void WebServerTest::eventStreamMatchesThePort() {
    Rig rig;
    QVERIFY(rig.listening);
    const std::unique_ptr<QWebSocket> events = openEvents(rig, Key);
    QStringList messages;
    connect(events.get(), &QWebSocket::textMessageReceived, this, [&](const QString& m) { messages << m; });
    QTRY_COMPARE(messages.size(), 1);
    QCOMPARE(QJsonDocument::fromJson(messages[0].toUtf8()).object().value(QStringLiteral("type")), "state");

    // The player's own timer may add steps meanwhile; each must come out as one message too.
    const qsizetype writesBefore = rig.port.writes.size();
    constexpr int Ticks = 50;
    for (int i = 0; i < Ticks; ++i)
        rig.player.engine().tickNow();
    QTRY_VERIFY(messages.size() >= 1 + Ticks);
    QTRY_COMPARE(2 * (messages.size() - 1), rig.port.writes.size() - writesBefore);
    const QList<RecordingPort::Write> writes = rig.port.writes.mid(writesBefore);
    for (int i = 0; i < Ticks; ++i) {
        const QJsonObject step = QJsonDocument::fromJson(messages[1 + i].toUtf8()).object();
        QCOMPARE(step.value(QStringLiteral("type")), "step");
        QCOMPARE(step.value(QStringLiteral("step")).toInt(), int(writes[2 * i].second)); // step k lights k
        QCOMPARE(
            step.value(QStringLiteral("channels")).toString(),
            EffectGrid::channelText(channelsOfRegisters(writes[2 * i].second, writes[2 * i + 1].second)));
    }
    // Any other change, here from another client, comes as a state.
    rig.call("PUT", QStringLiteral("/api/speed"), R"({"speed": 77})");
    QTRY_VERIFY(messages.constLast().contains(QLatin1String("\"speed\":77")));
}

void WebServerTest::eventStreamRefused_data() {
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("origin");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("key, no origin") << Key << QByteArray() << true;
    QTest::newRow("key, own origin") << Key << QByteArray("http://127.0.0.1:PORT") << true;
    QTest::newRow("no key") << QByteArray() << QByteArray() << false;
    QTest::newRow("wrong key") << WrongKey << QByteArray() << false;
    QTest::newRow("key, another site") << Key << QByteArray("http://evil.example") << false;
}

void WebServerTest::eventStreamRefused() {
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, origin);
    QFETCH(bool, accepted);
    Rig rig;
    QVERIFY(rig.listening);
    origin.replace("PORT", QByteArray::number(rig.server->port()));
    const std::unique_ptr<QWebSocket> events = openEvents(rig, key, origin);
    QSignalSpy received(events.get(), &QWebSocket::textMessageReceived);
    QSignalSpy closed(events.get(), &QWebSocket::disconnected);
    if (accepted) {
        QTRY_COMPARE(received.size(), 1);
        QCOMPARE(rig.server->eventClients(), 1);
    } else {
        QTRY_COMPARE(closed.size(), 1);
        QCOMPARE(received.size(), 0);
        QCOMPARE(rig.server->eventClients(), 0);
    }
}

void WebServerTest::hostileConnectionsAreCut() {
    WebServer::Limits limits;
    limits.maxConnections = 3;
    limits.idleTimeout = 300;
    Rig rig(limits);
    QVERIFY(rig.listening);
    const auto connectRaw = [&rig] {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, rig.server->port());
        return socket;
    };
    // A request larger than the limit: 413 before the server has taken it in, and closed.
    auto big = connectRaw();
    big->write("PUT /api/speed HTTP/1.1\r\nHost: x\r\nAuthorization: Bearer " + Key +
               "\r\nX-Pad: " + QByteArray(limits.maxRequestBytes, 'a') + "\r\n\r\n");
    QByteArray answer;
    QTRY_VERIFY((answer += big->readAll()).startsWith("HTTP/1.1 413"));
    QTRY_COMPARE(big->state(), QAbstractSocket::UnconnectedState);
    QTRY_COMPARE(rig.server->openConnections(), 0);

    // Half-sent requests hold their connections until the idle time-out; past the limit, 503.
    std::vector<std::unique_ptr<QTcpSocket>> slow;
    for (int i = 0; i < limits.maxConnections; ++i) {
        slow.push_back(connectRaw());
        slow.back()->write("GET /api/state HTTP/1.1\r\nHost: x\r\n");
    }
    QTRY_COMPARE(rig.server->openConnections(), limits.maxConnections);
    auto refused = connectRaw();
    answer.clear();
    QTRY_VERIFY((answer += refused->readAll()).startsWith("HTTP/1.1 503"));
    for (const auto& socket : slow)
        QTRY_COMPARE(socket->state(), QAbstractSocket::UnconnectedState);
    QTRY_COMPARE(rig.server->openConnections(), 0);
    // A request within the limits is still answered.
    QCOMPARE(rig.call("GET", QStringLiteral("/api/state")).status, 200);
}

void WebServerTest::stalledReaderLosesMessagesOthersGetAll() {
    Rig rig;
    QVERIFY(rig.listening);
    rig.player.showControl().stop(); // only the steps emitted here
    // A WebSocket client that never reads a byte: a raw upgrade with a tiny receive window.
    QTcpSocket stalled;
    stalled.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
    stalled.setReadBufferSize(1);
    stalled.connectToHost(QHostAddress::LocalHost, rig.server->port());
    stalled.write("GET /api/events?key=" + Key +
                  " HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                  "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
    QTRY_COMPARE(rig.server->eventClients(), 1);
    const std::unique_ptr<QWebSocket> reader = openEvents(rig, Key);
    int states = -1; // not counting the first one
    connect(reader.get(), &QWebSocket::textMessageReceived, this, [&states](const QString& message) {
        states += message.contains(QLatin1String("\"type\":\"state\"")) ? 1 : 0;
    });
    QTRY_COMPARE(states, 0);
    QCOMPARE(rig.server->eventClients(), 2);
    // The kernel takes megabytes before the server's own queue grows: state messages are big.
    constexpr int Bursts = 400;
    constexpr int PerBurst = 30;
    for (int burst = 1; burst <= Bursts && rig.server->droppedMessages() == 0; ++burst) {
        for (int i = 0; i < PerBurst; ++i)
            emit rig.player.showControl().stateChanged();
        QTRY_COMPARE(states, burst * PerBurst);
    }
    QVERIFY2(rig.server->droppedMessages() > 0, "the stalled client's messages were queued without end");
    QCOMPARE(rig.server->eventClients(), 2);
}

void WebServerTest::keyFile_data() {
    QTest::addColumn<QByteArray>("content"); // empty: no file
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("made on first use") << QByteArray() << 0 << true;
    QTest::newRow("kept") << Key + '\n' << 0600 << true;
    QTest::newRow("others may read it") << Key + '\n' << 0640 << false;
    QTest::newRow("not a key") << QByteArray("password\n") << 0600 << false;
    QTest::newRow("upper-case hex") << Key.toUpper() << 0600 << false;
}

void WebServerTest::keyFile() {
    QFETCH(QByteArray, content);
    QFETCH(int, mode);
    QFETCH(bool, accepted);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sub/web.key"));
    if (!content.isEmpty()) {
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("sub"))));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        QVERIFY(::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0);
    }
    QString error;
    const std::optional<WebKey> key = WebKey::loadOrCreate(path, error);
    QCOMPARE(key.has_value(), accepted);
    QCOMPARE(error.isEmpty(), accepted);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    if (content.isEmpty()) {
        struct stat info {};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, mode_t(0600));
        QCOMPARE(file.readAll(), key->text() + '\n');
        QCOMPARE(WebKey::loadOrCreate(path, error)->text(), key->text()); // the same key next time
        QCOMPARE(QDir(dir.filePath(QStringLiteral("sub"))).entryList(QDir::Files).size(), 1);
    } else {
        QCOMPARE(file.readAll(), content); // a refused file is left as it was
    }
}

void WebServerTest::playerEndsWhenThePortIsTaken_data() {
    QTest::addColumn<QString>("played");
    QTest::newRow("an effect") << QStringLiteral("show.eff");
    QTest::newRow("a show") << QStringLiteral("evening.show");
}

void WebServerTest::playerEndsWhenThePortIsTaken() {
    QFETCH(QString, played);
    if (qEnvironmentVariableIsSet("KTR_TEST_NO_CHILD_PROCESSES"))
        QSKIP(qgetenv("KTR_TEST_NO_CHILD_PROCESSES").constData());
    QTcpServer taken;
    QVERIFY(taken.listen(QHostAddress::LocalHost));
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("show.eff")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(effectFile());
    file.close();
    QFile show(dir.filePath(QStringLiteral("evening.show")));
    QVERIFY(show.open(QIODevice::WriteOnly));
    show.write("[Playlist]\nEffect=show.eff 1m\n");
    show.close();
    QProcess ktr;
    ktr.start(QStringLiteral(KTR_BINARY),
              {QStringLiteral("--play"), dir.filePath(played), QStringLiteral("--output"),
               QStringLiteral("screen"), QStringLiteral("--web"),
               QStringLiteral("127.0.0.1:%1").arg(taken.serverPort()), QStringLiteral("--web-key-file"),
               dir.filePath(QStringLiteral("web.key"))});
    QVERIFY(ktr.waitForFinished(10000));
    QCOMPARE(ktr.exitCode(), 2);
    QVERIFY(QString::fromUtf8(ktr.readAllStandardError()).contains(QStringLiteral("foglalt")));
    const QByteArray out = ktr.readAllStandardOutput();
    QVERIFY(!out.contains("Lejátszás:") && !out.contains("Műsor:")); // nothing played
}

QTEST_GUILESS_MAIN(WebServerTest)
#include "tst_webserver.moc"
