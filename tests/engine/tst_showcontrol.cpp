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
    void editsPlayAtTheNextTickAndSave();
    void playedStepsMatchThePortOneForOne();
};

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
