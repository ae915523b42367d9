#include "NumberedEffect.h"
#include "RecordingPort.h"
#include "control/ShowControl.h"
#include "player/HeadlessPlayer.h"
#include "player/PlayerFile.h"
#include "player/PlayerStatus.h"

#include <QBuffer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray effectBytes() {
    return numberedEffect({1, 2, 3}, "100");
}

// The player on a show folder: a client steers it only through its ShowControl.
struct Show {
    explicit Show(EngineThreading threading = EngineThreading::Inline) : player(port, status, threading) {
        out.open(QIODevice::ReadWrite);
        err.open(QIODevice::ReadWrite);
        write(QStringLiteral("show.eff"), effectBytes());
        write(QStringLiteral("other.eff"), effectBytes());
        QString error;
        player.start(*readEffectFile(path(QStringLiteral("show.eff")), error), std::nullopt,
                     path(QStringLiteral("show.eff")));
        player.engine().pauseTimer(); // ticks by hand
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    void write(const QString& name, const QByteArray& bytes) {
        QFile file(path(name));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    QByteArray read(const QString& name) const {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    ShowControl& show() { return player.showControl(); }

    QTemporaryDir dir;
    QBuffer out, err;
    RecordingPort port;
    PlayerStatus status{out, err, false};
    HeadlessPlayer player;
};

} // namespace

class ShowControlTest : public QObject {
    Q_OBJECT
private slots:
    void refusedRequestsChangeNothing_data();
    void refusedRequestsChangeNothing();
    void editsPlayAtTheNextTickAndSave();
    void saveKeepsAFileChangedOnDisk();
    void playedStepsMatchThePortOneForOne();
};

void ShowControlTest::refusedRequestsChangeNothing_data() {
    QTest::addColumn<QString>("request");
    QTest::addColumn<int>("outcome");

    const int refused = int(ShowControl::Outcome::Refused);
    QTest::newRow("speed 1") << "speed 1" << refused;
    QTest::newRow("speed 801") << "speed 801" << refused;
    QTest::newRow("step 0") << "step 0" << refused;
    QTest::newRow("step 23") << "step 23" << refused;
    QTest::newRow("a 13th channel") << "channels 8192" << refused;
    QTest::newRow("open a path") << "open ../show.eff" << refused;
    QTest::newRow("open a folder's file") << "open sub/show.eff" << refused;
    QTest::newRow("open nothing") << "open " << refused;
    QTest::newRow("open a missing one") << "open nope.eff" << int(ShowControl::Outcome::NotFound);
    QTest::newRow("open over unsaved edits") << "edit, open other.eff" << int(ShowControl::Outcome::Conflict);
}

void ShowControlTest::refusedRequestsChangeNothing() {
    QFETCH(QString, request);
    QFETCH(int, outcome);
    Show s;
    const QString verb = request.section(u' ', 0, 0);
    const QString argument = request.section(u' ', 1);
    if (verb == QLatin1String("edit,"))
        QVERIFY(s.show().setStep(5, true, std::nullopt).ok());
    const ShowState before = s.show().state();
    ShowControl::Result result;
    if (verb == QLatin1String("speed"))
        result = s.show().setSpeed(argument.toInt());
    else if (verb == QLatin1String("step"))
        result = s.show().setStep(argument.toInt(), true, EffectGrid::AllChannels);
    else if (verb == QLatin1String("channels"))
        result = s.show().setStep(1, std::nullopt, EffectGrid::Channels(argument.toInt()));
    else
        result = s.show().open(request.section(u' ', -1));
    QCOMPARE(int(result.outcome), outcome);
    QVERIFY(!result.message.isEmpty());
    const ShowState after = s.show().state();
    QCOMPARE(after.grid, before.grid);
    QCOMPARE(after.speed, before.speed);
    QCOMPARE(after.file, before.file);
    QCOMPARE(s.player.interval(), 100);
}

// A remote edit is what a click is: it plays at the next tick, marks the effect modified, and Save
// writes it in the file's own format.
void ShowControlTest::editsPlayAtTheNextTickAndSave() {
    Show s;
    QSignalSpy changes(&s.show(), &ShowControl::stateChanged);
    QVERIFY(s.show().setStep(1, std::nullopt, *EffectGrid::channelsFromText(u"x0000000x00x")).ok());
    QVERIFY(s.show().setSpeed(250).ok());
    QVERIFY(s.show().state().modified);
    QTRY_COMPARE(changes.size(), 1); // one message for the burst
    s.port.writes.clear();
    s.player.engine().tickNow();
    QCOMPARE(s.port.writes, (QList<RecordingPort::Write>{{888, 0x80}, {890, 203 - 8 - 1}}));
    QCOMPARE(s.show().lastStep(), 1);
    QCOMPARE(s.player.interval(), 250);

    QVERIFY(s.show().save().ok());
    QVERIFY(!s.show().state().modified);
    QByteArray expected = effectBytes();
    expected.replace(0, 12, "x0000000x00x").replace("100\r\n", "250\r\n");
    QCOMPARE(s.read(QStringLiteral("show.eff")), expected);

    QVERIFY(s.show().open(QStringLiteral("other.eff")).ok());
    QCOMPARE(QFileInfo(s.show().state().file).fileName(), QStringLiteral("other.eff"));
    QCOMPARE(s.show().effects(), (QStringList{QStringLiteral("other.eff"), QStringLiteral("show.eff")}));
}

void ShowControlTest::saveKeepsAFileChangedOnDisk() {
    Show s;
    QVERIFY(s.show().setStep(2, false, std::nullopt).ok());
    QTest::qWait(20); // a new modification time
    s.write(QStringLiteral("show.eff"), "changed elsewhere");
    const ShowControl::Result kept = s.show().save();
    QCOMPARE(int(kept.outcome), int(ShowControl::Outcome::Conflict));
    QCOMPARE(s.read(QStringLiteral("show.eff")), QByteArray("changed elsewhere"));
    QVERIFY(s.show().save(true).ok());
    QVERIFY(s.read(QStringLiteral("show.eff")).endsWith("x0x0000000000000000000\r\n"));
}

// Threaded, every step written to the port reaches the owner's thread once, in order, with the
// channels the port got.
void ShowControlTest::playedStepsMatchThePortOneForOne() {
    Show s(EngineThreading::Thread);
    QSignalSpy played(&s.show(), &ShowControl::stepPlayed);
    s.player.engine().waitIdle();
    const qsizetype writesBefore = s.port.writes.size();
    for (int i = 0; i < 40; ++i)
        s.player.engine().tickNow();
    s.player.engine().waitIdle();
    const QList<RecordingPort::Write> writes = s.port.writes.mid(writesBefore);
    QTRY_COMPARE(played.size(), writes.size() / 2);
    QCOMPARE(played.size(), 40); // steps 1, 2, 3 over and over
    for (qsizetype i = 0; i < played.size(); ++i) {
        const auto channels = EffectGrid::Channels(played.at(i).at(1).toUInt());
        QCOMPARE(channels, channelsOfRegisters(writes[2 * i].second, writes[2 * i + 1].second));
        QCOMPARE(played.at(i).at(0).toInt(), int(i % 3) + 1);
    }
}

QTEST_GUILESS_MAIN(ShowControlTest)
#include "tst_showcontrol.moc"
