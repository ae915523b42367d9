// A show in the player: the playlist's order, rounds and times and the schedule's START, STOP
// and outputs off, as the port sees them, on a clock the test sets; reloads, a stale clock, a
// clock set back, bad shows; and the preview through the real program under faketime.
#include "ChildProcesses.h"
#include "FakeShowClock.h"
#include "NumberedEffect.h"
#include "RecordingPort.h"
#include "player/HeadlessPlayer.h"
#include "player/PlayerStatus.h"
#include "player/SignalWatcher.h"
#include "show/ShowMain.h"
#include "show/ShowPlayer.h"

#include <QBuffer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using Writes = QList<RecordingPort::Write>;
const Writes AllOff{{888, 0}, {890, 203}}; // START's writes after an off are the same bytes

QByteArray effectFile(const QList<int>& enabled, int speed, int base = 0) {
    return numberedEffect(enabled, QByteArray::number(speed), base);
}

Writes steps(const QList<int>& played) {
    Writes writes;
    for (int step : played)
        writes << RecordingPort::Write{888, quint8(step)} << RecordingPort::Write{890, 203};
    return writes;
}

struct Rig {
    QTemporaryDir dir;
    QString show = dir.filePath(QStringLiteral("bolt.show"));
    QBuffer out;
    QBuffer err;
    RecordingPort port;
    PlayerStatus status{out, err, false};
    FakeShowClock clock;
    FakeClockSync sync;
    HeadlessPlayer player{port, status};
    ShowPlayer showPlayer{player.showControl(), clock, sync, status};

    Rig() {
        out.open(QIODevice::ReadWrite);
        err.open(QIODevice::ReadWrite);
        write(QStringLiteral("a.eff"), effectFile({1, 2}, 100));
        write(QStringLiteral("b.eff"), effectFile({1, 2, 3}, 250, 16));
        player.standBy();
    }
    void write(const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    bool begin(const QByteArray& text) {
        write(QStringLiteral("bolt.show"), text);
        QString error;
        const std::optional<Show> read = readShowFile(show, error);
        if (read)
            showPlayer.begin(*read);
        return read.has_value();
    }
    // One tick of the playing interval, the clock moving with it.
    void tick() {
        clock.advance(player.interval());
        player.engine().tickNow();
    }
    QString errors() const { return QString::fromUtf8(err.data()); }
};

} // namespace

class ShowPlayerTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { SignalWatcher::blockPlayerSignals(); }
    void playlistOrderRoundsAndTimes();
    void windowStartsAndStopsWithOutputsOff();
    void waitsForASynchronizedClock_data();
    void waitsForASynchronizedClock();
    void reloadKeepsAGoodShowAndTakesANewOne();
    void clockSetBackWhilePlaying();
    void removedEffectIsPassedOver();
    void badShowsWriteNothing_data();
    void badShowsWriteNothing();
    void previewThroughTheProgram();
    void serviceNameFindsShowOrEffect_data();
    void serviceNameFindsShowOrEffect();
};

void ShowPlayerTest::playlistOrderRoundsAndTimes() {
    Rig rig;
    QVERIFY(rig.begin("[Playlist]\nEffect=a.eff 2x\nEffect=b.eff 1s 250ms\n"));
    QCOMPARE(rig.port.writes, AllOff); // START
    QCOMPARE(rig.player.interval(), 100);
    QList<int> intervals;
    for (int i = 0; i < 12; ++i) {
        rig.tick();
        intervals << rig.player.interval();
    }
    // Two rounds of a, one second of b at 250 ms, then a again from its first step.
    QCOMPARE(rig.port.writes, AllOff + steps({1, 2, 1, 2, 17, 18, 19, 17, 1, 2, 1, 2}));
    QCOMPARE(intervals, QList<int>({100, 100, 100, 250, 250, 250, 250, 100, 100, 100, 100, 250}));
    QCOMPARE(rig.showPlayer.note(), QStringLiteral("Szól: b.eff (2/2)"));
    QCOMPARE(rig.player.showControl().state().note, rig.showPlayer.note());
}

void ShowPlayerTest::windowStartsAndStopsWithOutputsOff() {
    Rig rig;
    rig.clock.setLocal(QStringLiteral("2027-03-10T16:59:59"));
    QVERIFY(rig.begin("[Playlist]\nEffect=a.eff 1m\n[Schedule]\nWhen=daily 17:00-18:00\n"));
    QCOMPARE(rig.port.writes, AllOff); // booted outside the window: the outputs go off
    QCOMPARE(rig.showPlayer.note(), QStringLiteral("szünet, a következő időablak: 2027-03-10 17:00"));
    rig.player.engine().tickNow();
    QCOMPARE(rig.port.writes, AllOff);

    rig.clock.advance(1000);
    rig.showPlayer.check();
    rig.tick();
    rig.tick();
    QCOMPARE(rig.port.writes, AllOff + AllOff + steps({1, 2}));
    QCOMPARE(rig.showPlayer.note(), QStringLiteral("Szól: a.eff (1/1), eddig: 2027-03-10 18:00"));

    rig.clock.setLocal(QStringLiteral("2027-03-10T18:00"));
    rig.showPlayer.check();
    rig.tick();
    QCOMPARE(rig.port.writes, AllOff + AllOff + steps({1, 2}) + AllOff);
    QVERIFY(!rig.player.showControl().running());
    QVERIFY(QString::fromUtf8(rig.out.data())
                .contains(QStringLiteral("Szünet, a kimenetek kikapcsolva; a következő "
                                         "időablak: 2027-03-11 17:00.")));
}

void ShowPlayerTest::waitsForASynchronizedClock_data() {
    QTest::addColumn<bool>("syncs");
    QTest::newRow("synchronized meanwhile") << true;
    QTest::newRow("never: trusted with a warning") << false;
}

void ShowPlayerTest::waitsForASynchronizedClock() {
    QFETCH(bool, syncs);
    Rig rig;
    rig.sync.synced = false;
    rig.clock.setLocal(QStringLiteral("2027-03-10T20:00"));
    QVERIFY(rig.begin("[Playlist]\nEffect=a.eff 1m\n[Schedule]\nWhen=daily 17:00-23:00\nClockWait=10\n"));
    QCOMPARE(rig.showPlayer.note(), QStringLiteral("várakozás a pontos időre"));
    rig.clock.advance(9000);
    rig.showPlayer.check();
    QVERIFY(rig.port.writes.isEmpty());
    rig.sync.synced = syncs;
    rig.clock.advance(syncs ? 0 : 1000);
    rig.showPlayer.check();
    QVERIFY(rig.player.showControl().running());
    QCOMPARE(rig.errors().contains(QStringLiteral("az óra 10 másodperc után sem szinkronizált")), !syncs);
}

void ShowPlayerTest::reloadKeepsAGoodShowAndTakesANewOne() {
    Rig rig;
    QVERIFY(rig.begin("[Playlist]\nEffect=a.eff 1m\n"));
    rig.tick();
    rig.write(QStringLiteral("bolt.show"), "[Playlist]\nEffect=nincs.eff 1m\n");
    QVERIFY(!rig.showPlayer.reload(rig.show));
    QVERIFY(rig.errors().contains(QStringLiteral("2. sor: a(z) „nincs.eff” effekt nem játszható le")));
    QVERIFY(rig.errors().contains(QStringLiteral("Az eddigi műsor fut tovább.")));
    rig.tick();
    rig.write(QStringLiteral("bolt.show"), "[Playlist]\nEffect=b.eff 1m 40\n");
    QVERIFY(rig.showPlayer.reload(rig.show));
    rig.tick();
    QCOMPARE(rig.port.writes, AllOff + steps({1, 2, 17}));
    QCOMPARE(rig.player.interval(), 40);
}

void ShowPlayerTest::clockSetBackWhilePlaying() {
    Rig rig;
    rig.clock.setLocal(QStringLiteral("2027-10-31T20:00"));
    QVERIFY(rig.begin("[Playlist]\nEffect=a.eff 2x\nEffect=b.eff 1s\n[Schedule]\nWhen=daily 17:00-23:00\n"));
    rig.tick();
    rig.clock.setWall(rig.clock.now() - 3600 * 1000);
    rig.showPlayer.check();
    for (int i = 0; i < 4; ++i)
        rig.tick();
    // No second START and no break: the walk and the playlist go on.
    QCOMPARE(rig.port.writes, AllOff + steps({1, 2, 1, 2, 17}));
    QVERIFY(QString::fromUtf8(rig.out.data()).contains(QStringLiteral("Az óra átállt (-3600 s)")));
}

void ShowPlayerTest::removedEffectIsPassedOver() {
    Rig rig;
    QVERIFY(rig.begin("[Playlist]\nEffect=a.eff 1x\nEffect=b.eff 1m\n"));
    QVERIFY(QFile::remove(rig.dir.filePath(QStringLiteral("b.eff"))));
    for (int i = 0; i < 4; ++i)
        rig.tick();
    QCOMPARE(rig.port.writes, AllOff + steps({1, 2, 1, 2}));
    QVERIFY2(rig.errors().contains(QStringLiteral("A(z) 3. sor effektje (b.eff) most kimarad")),
             qPrintable(rig.errors()));
}

void ShowPlayerTest::badShowsWriteNothing_data() {
    QTest::addColumn<QByteArray>("text"); // empty: no show file
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    const auto row = [](const char* name, const char* text, int code, const char* message) {
        QTest::newRow(name) << QByteArray(text) << code << QString::fromUtf8(message);
    };
    row("no show", "", 1, "A fájl nem létezik.");
    row("missing effect", "[Playlist]\nEffect=a.eff 1m\nEffect=c.eff 1m\n", 2,
        "3. sor: a(z) „c.eff” effekt nem játszható le:\nNem sikerült megnyitni");
    row("bad effect", "[Playlist]\nEffect=rossz.eff 1m\n", 2, "Hibás effektfájl");
    row("rounds of nothing", "[Playlist]\nEffect=ures.eff 3x\n", 2, "nincs bekapcsolt lépése");
    row("bad line", "[Playlist]\nEffect=a.eff 1m\n[Schedule]\nWhen=Hétfő 17:00-18:00\n", 2,
        "4. sor: „Hétfő” nem a hét napja");
}

void ShowPlayerTest::badShowsWriteNothing() {
    QFETCH(QByteArray, text);
    QFETCH(int, code);
    QFETCH(QString, message);
    Rig rig;
    rig.write(QStringLiteral("rossz.eff"), "xx\r\n");
    rig.write(QStringLiteral("ures.eff"), effectFile({}, 100));
    const QString path = text.isEmpty() ? rig.dir.filePath(QStringLiteral("nincs.show")) : rig.show;
    if (!text.isEmpty())
        rig.write(QStringLiteral("bolt.show"), text);
    PlayerOptions options;
    options.file = path;
    RecordingPort port;
    QCOMPARE(runShow(options, port, QStringLiteral("teszt"), rig.status, rig.clock, rig.sync), code);
    QVERIFY2(rig.errors().contains(message), qPrintable(rig.errors()));
    QVERIFY(port.writes.isEmpty());
}

void ShowPlayerTest::previewThroughTheProgram() {
    SKIP_WITHOUT_CHILD_PROCESSES();
    const QString faketime = QStandardPaths::findExecutable(QStringLiteral("faketime"));
    if (faketime.isEmpty())
        QSKIP("faketime is not installed (scripts/install-deps.sh installs it)");
    Rig rig;
    rig.write(QStringLiteral("bolt.show"),
              "[Playlist]\nEffect=a.eff 1m\n[Schedule]\nWhen=Sat,Sun 17:00-02:30\n"
              "When=2027-10-31 sunset - sunset+1:00\nLocation=47.50 19.04\n");
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TZ"), QStringLiteral("Europe/Budapest"));
    // In the sanitized build, faketime's preload comes before AddressSanitizer's runtime.
    environment.insert(QStringLiteral("ASAN_OPTIONS"), environment.value(QStringLiteral("ASAN_OPTIONS")) +
                                                           QStringLiteral(":verify_asan_link_order=0"));
    program.setProcessEnvironment(environment);
    program.start(faketime,
                  {QStringLiteral("2027-10-30 12:00:00"), QStringLiteral(KTR_BINARY),
                   QStringLiteral("--play"), rig.show, QStringLiteral("--preview"), QStringLiteral("2")});
    QVERIFY(program.waitForFinished(20000));
    QCOMPARE(program.exitCode(), 0);
    // Saturday's window ends in the repeated hour (its first 02:30); Sunday's dusk is inside the
    // Sunday window, which it joins.
    QCOMPARE(QString::fromUtf8(program.readAllStandardOutput()).split(QLatin1Char('\n')),
             QStringList({"2027-10-30 17:00 start", "2027-10-31 02:30 stop", "2027-10-31 16:29 start",
                          "2027-11-01 02:30 stop", "2 nap alatt 2 ablak, összesen 19 óra 31 perc lejátszás.",
                          ""}));
}

void ShowPlayerTest::serviceNameFindsShowOrEffect_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("played");
    const auto row = [](const char* name, const char* given, const char* played) {
        QTest::newRow(name) << given << played;
    };
    row("show beside", "bolt", "bolt.show");
    row("effect alone", "a", "a.eff");
    row("neither: the effect's message", "nincs", "nincs.eff");
    row("named in full", "b.eff", "b.eff");
}

// The unit plays /etc/ktr/NAME: the show when there is one, else the effect.
void ShowPlayerTest::serviceNameFindsShowOrEffect() {
    QFETCH(QString, name);
    QFETCH(QString, played);
    Rig rig;
    rig.write(QStringLiteral("bolt.show"), "[Playlist]\nEffect=a.eff 1m\n");
    rig.write(QStringLiteral("bolt.eff"), effectFile({1}, 100));
    PlayerOptions options;
    QString error;
    QVERIFY(PlayerOptions::parse({QStringLiteral("ktr"), QStringLiteral("--play"), rig.dir.filePath(name)},
                                 options, error));
    QCOMPARE(options.file, rig.dir.filePath(played));
}

QTEST_GUILESS_MAIN(ShowPlayerTest)
#include "tst_showplayer.moc"
