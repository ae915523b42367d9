#include "FakeChooser.h"
#include "FakeSaveQuestion.h"
#include "FakeSpeed.h"
#include "FakeStepPattern.h"
#include "RecordingPort.h"
#include "effects/EffectCommands.h"
#include "effects/EffectFile.h"
#include "effects/FileReplacer.h"
#include "effects/UnsavedChanges.h"
#include "output/Module1.h"
#include "sequencer/PlaybackEngine.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {

// What the system answers differently to root (CI): a folder closed to new files, other owners.
struct FakeReplacer : FileReplacer {
    bool denyNewFiles = false, mayChangeOwner = true;
    std::optional<uid_t> oldOwner;
    QList<QPair<uid_t, gid_t>> ownersGiven;

    int statFile(const char* path, struct stat& status) override {
        const int result = FileReplacer::statFile(path, status);
        status.st_uid = oldOwner.value_or(status.st_uid);
        return result;
    }
    int createFile(const char* path) override {
        return denyNewFiles ? (errno = EACCES, -1) : FileReplacer::createFile(path);
    }
    int changeOwner(int, uid_t owner, gid_t group) override {
        ownersGiven.append({owner, group});
        return mayChangeOwner ? 0 : (errno = EPERM, -1);
    }
};

// What the main window puts around the File commands, without a widget: the boxes, the speed bar
// whose change handler gives playback its speed, playback itself and the caption. As in the
// window, a box or the speed that really changes lets the unsaved-changes mark look again.
class Form : public FakeStepPattern {
public:
    static inline const QString Title = QStringLiteral("KTR (zorvány4.1)");

    Form(Port& port, FileChooser& chooser, SaveQuestion& question)
        : m_engine(*this, *this, m_module, port, EngineThreading::Inline),
          m_effects([this](const QString& caption) { m_caption = caption; }, Title, *this, m_module, m_engine,
                    m_speed, chooser, question) {
        m_speed.changed = [this](int value) {
            m_engine.speedChanged(value);
            m_effects.changes().recheck();
        };
        m_engine.load(); // the bar already stands at the start interval: no change
    }

    // A check box is on (1) or off; nothing else reaches it.
    void setChannelBox(int step, int channel, int value) override {
        const int before = channelBox(step, channel);
        FakeStepPattern::setChannelBox(step, channel, value == 1 ? 1 : 0);
        if (channelBox(step, channel) != before)
            m_effects.changes().recheck();
    }
    void setEnableBox(int step, int value) override {
        const int before = enableBox(step);
        FakeStepPattern::setEnableBox(step, value == 1 ? 1 : 0);
        if (enableBox(step) != before)
            m_effects.changes().recheck();
    }

    const Sequencer& sequencer() const { return m_engine.sequencer(); }
    PlaybackEngine& engine() { return m_engine; }
    Module1& module() { return m_module; }
    FakeSpeed* speedBar() { return &m_speed; }
    QString windowTitle() const { return m_caption; }
    EffectCommands& effectCommands() { return m_effects; }
    bool isHighlighted(int step) const { return highlights[step - 1]; }
    void Start_Stop_Click() { m_engine.startStop(); }

private:
    Module1 m_module;
    FakeSpeed m_speed{Sequencer::StartInterval};
    PlaybackEngine m_engine;
    QString m_caption = Title;
    EffectCommands m_effects;
};

// The File commands by the names of their menu entries.
struct Harness {
    Harness() : failures(std::make_unique<QSignalSpy>(&form.effectCommands(), &EffectCommands::failed)) {}
    void run(const char* action) {
        EffectCommands& commands = form.effectCommands();
        const QByteArray name(action);
        if (name == "EffBe")
            commands.open();
        else if (name == "Effki2")
            commands.save();
        else if (name == "Effki")
            commands.saveAs();
        else
            qFatal("no File command named %s", action);
    }
    void choose(const QString& path) { chooser.answer = path; }
    QString lastFailure() const {
        return failures->isEmpty() ? QString() : failures->last().at(0).toString();
    }

    RecordingPort port;
    FakeChooser chooser;
    FakeSaveQuestion question; // discards, unless a test says otherwise
    Form form{port, chooser, question};
    std::unique_ptr<QSignalSpy> failures;
};

const QString Spaces(11, u' ');

QByteArray fileWith(const QList<QByteArray>& steps, const QByteArray& speed, const QByteArray& enables) {
    QByteArray bytes;
    for (int step = 0; step < StepCount; ++step)
        bytes += (step < steps.size() ? steps[step] : QByteArray(12, '0')) + "\r\n";
    return bytes + speed + "\r\n" + enables + "\r\n";
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Everything a file command could change, as text so that a difference shows in the log.
QStringList state(Form& form) {
    QString boxes;
    for (int step = 1; step <= StepCount; ++step) {
        for (int channel = 1; channel <= ChannelCount; ++channel)
            boxes += QString::number(form.channelBox(step, channel));
        boxes += u'|' + QString::number(form.enableBox(step)) + u' ';
    }
    const auto& speed = form.sequencer().speed;
    return {boxes,
            QStringLiteral("bar %1").arg(form.speedBar()->value()),
            QStringLiteral("speed %1").arg(speed ? QString::number(*speed) : QStringLiteral("-")),
            QStringLiteral("interval %1").arg(form.sequencer().timer().interval()),
            QStringLiteral("path %1").arg(form.module().effectPath),
            QStringLiteral("caption %1").arg(form.windowTitle()),
            QStringLiteral("enablePattern %1").arg(form.module().enablePattern)};
}

QMap<QString, QByteArray> folderContents(const QString& path) {
    QMap<QString, QByteArray> contents;
    const QDir dir(path);
    for (const QString& name : dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
        contents[name] =
            QFileInfo(dir.filePath(name)).isDir() ? QByteArray("<folder>") : readFile(dir.filePath(name));
    return contents;
}

QByteArray expectedBytes(Form& form) {
    Module1 scratch;
    return writeEffect(form, form.sequencer().speed, scratch);
}

} // namespace

class EffectCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void openAppliesTheWholeFile_data();
    void openAppliesTheWholeFile();
    void failedOpenChangesNothing_data();
    void failedOpenChangesNothing();
    void cancelChangesNothing_data();
    void cancelChangesNothing();
    void saveAsNames_data();
    void saveAsNames();
    void saveAsAsksBeforeReplacing_data();
    void saveAsAsksBeforeReplacing();
    void saveAfterOpenWritesBackQuietly();
    void failedSaveKeepsEverything_data();
    void failedSaveKeepsEverything();
    void saveKeepsTheFileItReplaces_data();
    void saveKeepsTheFileItReplaces();
    void saveRefusesALinkSwappedIn_data();
    void saveRefusesALinkSwappedIn();
    void commandsLeavePlaybackAlone_data();
    void commandsLeavePlaybackAlone();
};

void EffectCommandsTest::initTestCase() {
    QStandardPaths::setTestModeEnabled(true); // the recent files go to a test settings file
}

void EffectCommandsTest::openAppliesTheWholeFile_data() {
    QTest::addColumn<QByteArray>("speedLine");
    QTest::addColumn<int>("barBefore"); // 0: left at its start value
    QTest::addColumn<int>("intervalBefore");
    QTest::addColumn<int>("bar");
    QTest::addColumn<QString>("speed");
    QTest::addColumn<int>("interval");
    QTest::addColumn<QByteArray>("before"); // bytes before step 1

    QTest::newRow("new speed") << QByteArray("350") << 0 << 0 << 350 << "350" << 350 << QByteArray();
    QTest::newRow("speed the bar holds")
        << QByteArray("200") << 0 << 999 << 200 << "-" << 200 << QByteArray();
    QTest::newRow("speed the bar holds, set before")
        << QByteArray("420") << 420 << 13 << 420 << "420" << 420 << QByteArray();
    QTest::newRow("empty speed line") << QByteArray() << 300 << 0 << 300 << "300" << 300 << QByteArray();
    QTest::newRow("lowest speed") << QByteArray("2") << 0 << 0 << SpeedMin << "2" << 2 << QByteArray();
    QTest::newRow("highest speed") << QByteArray("800") << 0 << 0 << SpeedMax << "800" << 800 << QByteArray();
    QTest::newRow("UTF-8 byte-order mark")
        << QByteArray("350") << 0 << 0 << 350 << "350" << 350 << QByteArray("\xEF\xBB\xBF");
}

void EffectCommandsTest::openAppliesTheWholeFile() {
    QFETCH(QByteArray, speedLine);
    QFETCH(int, barBefore);
    QFETCH(int, intervalBefore);
    QFETCH(int, bar);
    QFETCH(QString, speed);
    QFETCH(int, interval);
    QFETCH(QByteArray, before);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("árvíztűrő tükörfúrógép hosszú nevű effektje.eff"));
    const QByteArray enables = "xx0x" + QByteArray(17, '0') + "x";
    QVERIFY(
        writeFile(path, before + fileWith({"x00000000000", "0x0000000000", "00x000000000", "xxxxxxxxxxxx"},
                                          speedLine, enables)));
    Harness w;
    for (int step = 1; step <= StepCount; ++step) { // the file replaces every box, checked or not
        w.form.setEnableBox(step, 1);
        for (int channel = 1; channel <= ChannelCount; ++channel)
            w.form.setChannelBox(step, channel, 1);
    }
    if (barBefore)
        w.form.speedBar()->setValue(barBefore);
    if (intervalBefore)
        w.form.engine().setInterval(intervalBefore);
    w.choose(path);
    w.run("EffBe");

    QVERIFY2(w.failures->isEmpty(), qPrintable(w.lastFailure()));
    QCOMPARE(w.chooser.openCalls, 1);
    const QString rows[] = {"x00000000000", "0x0000000000", "00x000000000", "xxxxxxxxxxxx"};
    for (int step = 1; step <= StepCount; ++step) {
        QString row;
        for (int channel = 1; channel <= ChannelCount; ++channel)
            row += w.form.channelBox(step, channel) == 1 ? u'x' : u'0';
        QCOMPARE(row, step <= 4 ? rows[step - 1] : QStringLiteral("000000000000"));
        QCOMPARE(w.form.enableBox(step), enables.at(step - 1) == 'x' ? 1 : 0);
    }
    const QStringList after = state(w.form);
    QCOMPARE(after[1], QStringLiteral("bar %1").arg(bar));
    QCOMPARE(after[2], QStringLiteral("speed %1").arg(speed));
    QCOMPARE(after[3], QStringLiteral("interval %1").arg(interval));
    QCOMPARE(w.form.module().effectPath, path);
    QCOMPARE(w.form.windowTitle(),
             Form::Title + Spaces + QStringLiteral("árvíztűrő tükörfúrógép hosszú nevű effektje.eff"));
    QCOMPARE(w.form.module().enablePattern, QString::fromLatin1(enables));
}

void EffectCommandsTest::failedOpenChangesNothing_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("contents"); // empty: not created
    QTest::addColumn<QString>("what");

    const QByteArray valid = fileWith({}, "200", QByteArray(22, '0'));
    QTest::newRow("missing") << "nincs.eff" << QByteArray() << "nem létezik";
    QTest::newRow("a folder") << "mappa.eff" << QByteArray() << "mappa";
    QTest::newRow("through a file") << "jó.eff/belső.eff" << QByteArray() << "nem létezik";
    QTest::newRow("23 lines") << "rövid.eff" << valid.chopped(24) << "24. sor: hiányzik";
    QTest::newRow("speed not a number") << "betű.eff" << fileWith({}, "gyors", "x") << "23. sor: a sebesség";
    QTest::newRow("speed 1") << "lassú.eff" << fileWith({}, "1", "x") << "nincs 2 és 800 között";
    QTest::newRow("speed 801") << "801.eff" << fileWith({}, "801", "x") << "nincs 2 és 800 között";
    QTest::newRow("oversized") << "nagy.eff" << valid + QByteArray(MaxEffectFileSize, '\n') << "64 KiB";
    QTest::newRow("UTF-16 with its mark")
        << "unicode.eff"
        << "\xFF\xFEx\0" + QByteArray(700, '\0') << "UTF-16 (little-endian) kódolású";
    QTest::newRow("LF CR line ends") << "fordított.eff" << QByteArray(valid).replace("\r\n", "\n\r")
                                     << "1. sor: LF CR";
    QTest::newRow("a show") << "bolt.show" << QByteArray("[Playlist]\nEffect=jó.eff 1m\n")
                            << "ktr --play bolt.show";
}

void EffectCommandsTest::failedOpenChangesNothing() {
    QFETCH(QString, name);
    QFETCH(QByteArray, contents);
    QFETCH(QString, what);

    QTemporaryDir dir;
    const QString good = dir.filePath(QStringLiteral("jó.eff"));
    QVERIFY(writeFile(good, fileWith({"xx0000000000"}, "321", "x0x")));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("mappa.eff")));
    const QString bad = dir.filePath(name);
    if (!contents.isEmpty())
        QVERIFY(writeFile(bad, contents));

    Harness w;
    w.choose(good);
    w.run("EffBe");
    w.form.setChannelBox(9, 9, 1);
    const QStringList before = state(w.form);
    const auto files = folderContents(dir.path());

    w.choose(bad);
    w.run("EffBe");
    QCOMPARE(w.failures->size(), 1);
    QVERIFY2(w.lastFailure().contains(bad) && w.lastFailure().contains(what), qPrintable(w.lastFailure()));
    QCOMPARE(state(w.form), before);

    // Save still goes to the file that opened, never to the one that failed.
    w.run("Effki2");
    QCOMPARE(w.chooser.saveCalls, 0);
    QVERIFY(w.failures->size() == 1);
    auto expected = files;
    expected[QStringLiteral("jó.eff")] = expectedBytes(w.form);
    QCOMPARE(folderContents(dir.path()), expected);
}

void EffectCommandsTest::cancelChangesNothing_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("openedBefore");
    QTest::addColumn<int>("openCalls");
    QTest::addColumn<int>("saveCalls");
    for (bool opened : {false, true}) {
        const char* suffix = opened ? ", after an open" : "";
        QTest::newRow(qPrintable(QStringLiteral("Megnyitás%1").arg(suffix))) << "EffBe" << opened << 1 << 0;
        QTest::newRow(qPrintable(QStringLiteral("Mentés másként%1").arg(suffix)))
            << "Effki" << opened << 0 << 1;
    }
    QTest::newRow("Mentés without a file") << "Effki2" << false << 0 << 1;
}

void EffectCommandsTest::cancelChangesNothing() {
    QFETCH(QString, action);
    QFETCH(bool, openedBefore);
    QFETCH(int, openCalls);
    QFETCH(int, saveCalls);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("minta.eff"));
    QVERIFY(writeFile(path, fileWith({"x"}, "250", "x")));
    Harness w;
    if (openedBefore) {
        w.choose(path);
        w.run("EffBe");
        w.chooser.openCalls = 0;
    }
    w.form.setChannelBox(5, 5, 1);
    const QStringList before = state(w.form);
    const auto files = folderContents(dir.path());

    w.chooser.answer.reset();
    w.run(qPrintable(action));
    QCOMPARE(w.chooser.openCalls, openCalls);
    QCOMPARE(w.chooser.saveCalls, saveCalls);
    QCOMPARE(state(w.form), before);
    QCOMPARE(folderContents(dir.path()), files);
    QVERIFY(w.failures->isEmpty());
    // Still no current file after a cancelled Save, so the next Save asks again.
    w.run(qPrintable(action));
    QCOMPARE(w.chooser.saveCalls, 2 * saveCalls);
}

void EffectCommandsTest::saveAsNames_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");

    QTest::newRow("no ending: .eff added") << "Effki"
                                           << "minta"
                                           << "minta.eff";
    QTest::newRow(".eff kept") << "Effki"
                               << "minta.eff"
                               << "minta.eff";
    QTest::newRow("eff without a dot kept") << "Effki"
                                            << "minta_eff"
                                            << "minta_eff";
    QTest::newRow("jeff kept") << "Effki"
                               << "jeff"
                               << "jeff";
    QTest::newRow("upper-case EFF gets .eff") << "Effki"
                                              << "MINTA.EFF"
                                              << "MINTA.EFF.eff";
    QTest::newRow("Eff gets .eff") << "Effki"
                                   << "minta.Eff"
                                   << "minta.Eff.eff";
    QTest::newRow("accents") << "Effki"
                             << "őszi fényjáték"
                             << "őszi fényjáték.eff";
    QTest::newRow("19 characters") << "Effki"
                                   << "tizenkilenc_betű"
                                   << "tizenkilenc_betű.eff";
    QTest::newRow("20 characters and more") << "Effki"
                                            << "egy nagyon hosszú effektnév sok betűvel.eff"
                                            << "egy nagyon hosszú effektnév sok betűvel.eff";
    QTest::newRow("Mentés without a file runs Save As") << "Effki2"
                                                        << "minta"
                                                        << "minta.eff";
}

void EffectCommandsTest::saveAsNames() {
    QFETCH(QString, action);
    QFETCH(QString, chosen);
    QFETCH(QString, written);

    QTemporaryDir dir;
    Harness w;
    w.form.setChannelBox(1, 1, 1);
    w.form.setEnableBox(1, 1);
    w.choose(dir.filePath(chosen));
    w.run(qPrintable(action));
    QVERIFY2(w.failures->isEmpty(), qPrintable(w.lastFailure()));
    QCOMPARE(w.chooser.saveCalls, 1);
    QVERIFY(w.chooser.replaceAsked.isEmpty()); // nothing there to replace
    const QString path = dir.filePath(written);
    QCOMPARE(folderContents(dir.path()), (QMap<QString, QByteArray>{{written, expectedBytes(w.form)}}));
    QCOMPARE(w.form.module().effectPath, path);
    const QString caption = Form::Title + Spaces + written;
    QCOMPARE(w.form.windowTitle(), caption);

    // The next Save writes that same file, asks nothing and leaves the caption.
    w.form.setChannelBox(22, 12, 1);
    w.form.speedBar()->setValue(640);
    w.run("Effki2");
    QCOMPARE(w.chooser.saveCalls, 1);
    QVERIFY(w.chooser.replaceAsked.isEmpty());
    QCOMPARE(folderContents(dir.path()), (QMap<QString, QByteArray>{{written, expectedBytes(w.form)}}));
    QVERIFY(readFile(path).contains("00000000000x\r\n640\r\n"));
    QCOMPARE(w.form.windowTitle(), caption);
}

void EffectCommandsTest::saveAsAsksBeforeReplacing_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<bool>("replace");
    QTest::newRow("replace minta.eff chosen as minta") << "minta" << true;
    QTest::newRow("keep minta.eff chosen as minta") << "minta" << false;
    QTest::newRow("replace minta.eff") << "minta.eff" << true;
    QTest::newRow("keep minta.eff") << "minta.eff" << false;
    // minta.eff a link to a file not there: the save would create that file.
    QTest::newRow("replace a link to no file") << "minta.eff" << true;
    QTest::newRow("keep a link to no file") << "minta.eff" << false;
}

void EffectCommandsTest::saveAsAsksBeforeReplacing() {
    QFETCH(QString, chosen);
    QFETCH(bool, replace);

    QTemporaryDir dir;
    const QString existing = dir.filePath(QStringLiteral("minta.eff"));
    const QByteArray old = fileWith({"xxxxxxxxxxxx"}, "100", "xxx");
    const bool dangling = QByteArray(QTest::currentDataTag()).contains("no file");
    const QString named = dir.filePath(QStringLiteral("nincs még.eff"));
    QVERIFY(dangling ? QFile::link(named, existing) : writeFile(existing, old));
    Harness w;
    w.form.setChannelBox(2, 2, 1);
    const QStringList before = state(w.form);
    w.chooser.replace = replace;
    w.choose(dir.filePath(chosen));
    w.run("Effki");
    QCOMPARE(w.chooser.replaceAsked, QStringList{existing}); // about the file it would write
    if (replace) {
        QCOMPARE(readFile(existing), expectedBytes(w.form));
        QCOMPARE(w.form.module().effectPath, existing);
    } else {
        QCOMPARE(dangling ? QFile::exists(named) : readFile(existing) == old, !dangling);
        QCOMPARE(state(w.form), before);
    }
    // ".", ".." and the one file (and the file the link names, once written)
    QCOMPARE(QDir(dir.path(), QString(), QDir::NoSort, QDir::AllEntries | QDir::System).count(),
             dangling && replace ? 4u : 3u);
}

void EffectCommandsTest::saveAfterOpenWritesBackQuietly() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("régi.eff"));
    // Written elsewhere: LF ends, a capital X, a long enable line. Save writes it back in our form.
    QVERIFY(
        writeFile(path, QByteArray(fileWith({"X0x"}, "0150", QByteArray(30, 'x'))).replace("\r\n", "\n")));
    Harness w;
    w.choose(path);
    w.run("EffBe");
    const QString caption = w.form.windowTitle();
    w.run("Effki2");
    QCOMPARE(w.chooser.saveCalls, 0);
    QVERIFY(w.chooser.replaceAsked.isEmpty());
    QCOMPARE(readFile(path), fileWith({"00x000000000"}, "150", QByteArray(22, 'x')));
    QCOMPARE(w.form.windowTitle(), caption);
    QCOMPARE(w.form.module().effectPath, path);
}

void EffectCommandsTest::failedSaveKeepsEverything_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("chosen");
    QTest::newRow("Save As through a file") << "Effki"
                                            << "jó.eff/új.eff";
    QTest::newRow("Save As onto a folder") << "Effki"
                                           << "mappa.eff";
    QTest::newRow("Save As into a missing folder") << "Effki"
                                                   << "nincs/új.eff";
    QTest::newRow("Save As into a folder that lets no new file in") << "Effki"
                                                                    << "új.eff";
    QTest::newRow("Save once the folder became a file") << "Effki2"
                                                        << "eltűnt/minta.eff";
    QTest::newRow("Save once the file became a folder") << "Effki2"
                                                        << "minta.eff";
}

void EffectCommandsTest::failedSaveKeepsEverything() {
    QFETCH(QString, action);
    QFETCH(QString, chosen);

    QTemporaryDir dir;
    const QDir folder(dir.path());
    const QString good = dir.filePath(QStringLiteral("jó.eff"));
    QVERIFY(writeFile(good, fileWith({"x0x0x0x0x0x0"}, "300", "xx")));
    QVERIFY(folder.mkpath(QStringLiteral("mappa.eff/tartalom")));
    QVERIFY(folder.mkdir(QStringLiteral("eltűnt")));
    Harness w;
    const QString target = dir.filePath(chosen);
    if (action == QLatin1String("Effki2")) { // make it the current file, then pull the ground away
        w.choose(target);
        w.run("Effki");
        QCOMPARE(w.form.module().effectPath, target);
        QVERIFY(QFile::remove(target));
        if (chosen.startsWith(QStringLiteral("eltűnt"))) {
            QVERIFY(folder.rmdir(QStringLiteral("eltűnt")));
            QVERIFY(writeFile(dir.filePath(QStringLiteral("eltűnt")), "not a folder"));
        } else {
            QVERIFY(folder.mkpath(chosen + QStringLiteral("/tartalom")));
        }
    } else {
        w.choose(good);
        w.run("EffBe");
    }
    w.form.setChannelBox(3, 3, 1);
    const QStringList before = state(w.form);
    const auto files = folderContents(dir.path());

    FakeReplacer replacer;
    replacer.denyNewFiles = chosen == QStringLiteral("új.eff");
    w.form.effectCommands().setReplacer(replacer);
    w.choose(target);
    w.run(qPrintable(action));
    QCOMPARE(w.failures->size(), 1);
    QVERIFY2(w.lastFailure().contains(QStringLiteral("Nem sikerült menteni: „%1”").arg(target)),
             qPrintable(w.lastFailure()));
    QVERIFY(!replacer.denyNewFiles ||
            w.lastFailure().contains("A mappában nem hozható létre fájl: „" + dir.path()));
    // enablePattern is the writer's working text and may change; nothing else may.
    QCOMPARE(state(w.form).mid(0, 6), before.mid(0, 6));
    QCOMPARE(folderContents(dir.path()), files); // the old file intact, no temporary file left
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("mappa.eff/tartalom"))).isDir());
}

void EffectCommandsTest::saveRefusesALinkSwappedIn_data() {
    QTest::addColumn<bool>("openedThroughLink"); // show.eff a link to a.eff at Open
    QTest::addColumn<QString>("swap");           // what show.eff (or its folder) becomes
    QTest::addColumn<QString>("leadsTo");        // the file the message names; empty: Save goes on
    QTest::newRow("file became a link") << false << "link to b.eff"
                                        << "b.eff";
    QTest::newRow("file became a link to no file") << false << "link to nincs.eff"
                                                   << "nincs.eff";
    QTest::newRow("link retargeted") << true << "link to b.eff"
                                     << "b.eff";
    QTest::newRow("folder swapped for a link") << false << "folder"
                                               << "másik/show.eff";
    QTest::newRow("link left alone") << true << QString() << QString();
    QTest::newRow("file removed") << false << "removed" << QString();
}

// A show folder others may write: show.eff swapped for a link after Open must not redirect Save,
// whatever the answer to "changed on disk" would be (the question says yes here).
void EffectCommandsTest::saveRefusesALinkSwappedIn() {
    QFETCH(bool, openedThroughLink);
    QFETCH(QString, swap);
    QFETCH(QString, leadsTo);

    QTemporaryDir dir;
    QDir folder(dir.path());
    QVERIFY(folder.mkpath(QStringLiteral("mappa")) && folder.mkpath(QStringLiteral("másik")));
    const QByteArray a = fileWith({"x"}, "200", "x");
    const QByteArray b = fileWith({"0x"}, "300", "x");
    QVERIFY(writeFile(dir.filePath(QStringLiteral("mappa/a.eff")), a) &&
            writeFile(dir.filePath(QStringLiteral("mappa/b.eff")), b) &&
            writeFile(dir.filePath(QStringLiteral("másik/show.eff")), b));
    const QString show = dir.filePath(QStringLiteral("mappa/show.eff"));
    QVERIFY(openedThroughLink ? QFile::link(QStringLiteral("a.eff"), show) : writeFile(show, a));
    Harness w;
    w.choose(show);
    w.run("EffBe");
    w.form.setChannelBox(5, 5, 1);

    if (swap.startsWith(QLatin1String("link to "))) {
        QVERIFY(QFile::remove(show) && QFile::link(swap.mid(8), show));
    } else if (swap == QLatin1String("folder")) {
        QVERIFY(folder.rename(QStringLiteral("mappa"), QStringLiteral("régi")) &&
                QFile::link(dir.filePath(QStringLiteral("másik")), dir.filePath(QStringLiteral("mappa"))));
    } else if (swap == QLatin1String("removed")) {
        QVERIFY(QFile::remove(show));
    }
    const auto before = folderContents(dir.filePath(QStringLiteral("másik")));
    const QByteArray bBefore = readFile(dir.filePath(QStringLiteral("mappa/b.eff")));
    w.run("Effki2");
    if (leadsTo.isEmpty()) {
        QVERIFY2(w.failures->isEmpty(), qPrintable(w.lastFailure()));
        QCOMPARE(readFile(show), expectedBytes(w.form));
        return;
    }
    QCOMPARE(w.failures->size(), 1);
    QVERIFY2(w.lastFailure().contains(QStringLiteral("„%1”").arg(show)) && w.lastFailure().contains(leadsTo),
             qPrintable(w.lastFailure()));
    QCOMPARE(folderContents(dir.filePath(QStringLiteral("másik"))), before);
    QCOMPARE(readFile(dir.filePath(QStringLiteral("mappa/b.eff"))), bBefore);
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("mappa/nincs.eff"))));
    QVERIFY(w.form.windowTitle().endsWith(u'*')); // still unsaved
}

void EffectCommandsTest::saveKeepsTheFileItReplaces_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("inPlace"); // the old file itself written (or kept), not a new one renamed over it
    QTest::addColumn<bool>("overwrite"); // the answer
    QTest::newRow("folder lets no new file in, file writable") << "folder" << true << true;
    QTest::newRow("second hard link") << "link" << true << true;
    QTest::newRow("someone else's file, saved by root") << "root" << false << true;
    QTest::newRow("someone else's file, group-writable, saved by a user") << "user" << true << true;
    QTest::newRow("symbolic link") << "symlink" << false << true;
    QTest::newRow("mode 0640") << "mode" << false << true;
    QTest::newRow("rewritten elsewhere since opened: overwritten") << "rewrite" << false << true;
    QTest::newRow("rewritten elsewhere since opened: answered no") << "rewrite" << true << false;
    QTest::newRow("rewritten, then Save As another name: no question")
        << "rewrite, then save as" << true << true;
}

void EffectCommandsTest::saveKeepsTheFileItReplaces() {
    QFETCH(QString, setup);
    QFETCH(bool, inPlace);
    QFETCH(bool, overwrite);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("közös.eff"));
    const QString other = dir.filePath(QStringLiteral("másik név.eff"));
    QVERIFY(writeFile(path, fileWith({"x"}, "200", "x")));
    FakeReplacer replacer;
    replacer.denyNewFiles = setup == QLatin1String("folder");
    replacer.mayChangeOwner = setup != QLatin1String("user");
    if (setup == QLatin1String("root") || setup == QLatin1String("user"))
        replacer.oldOwner = 4242;
    const QByteArray name = QFile::encodeName(path);
    QVERIFY(setup != QLatin1String("link") || ::link(name, QFile::encodeName(other)) == 0);
    QVERIFY(setup != QLatin1String("symlink") || QFile::link(path, other));
    QVERIFY(setup != QLatin1String("mode") || ::chmod(name, 0640) == 0);
    QVERIFY(setup != QLatin1String("folder") || ::chmod(QFile::encodeName(dir.path()), 0555) == 0);
    const auto writable = qScopeGuard([&] { ::chmod(QFile::encodeName(dir.path()), 0700); });

    Harness w;
    w.form.effectCommands().setReplacer(replacer);
    w.question.overwrite = overwrite;
    w.choose(setup == QLatin1String("symlink") ? other : path);
    w.run("EffBe");
    const QByteArray theirs = "egy másik program írta\r\n";
    QVERIFY(!setup.startsWith(QLatin1String("rewrite")) || writeFile(path, theirs));
    struct stat before {
    }, after{};
    ::stat(name, &before);
    w.form.setChannelBox(7, 7, 1);
    w.choose(other);
    w.run(setup.endsWith(QLatin1String("save as")) ? "Effki" : "Effki2");

    QVERIFY2(w.failures->isEmpty(), qPrintable(w.lastFailure()));
    QCOMPARE(readFile(setup.endsWith(QLatin1String("save as")) ? other : path),
             overwrite ? expectedBytes(w.form) : theirs);
    QCOMPARE(w.form.windowTitle().endsWith(u'*'), !overwrite); // a No keeps the edit, unsaved
    ::stat(name, &after);
    QCOMPARE(after.st_ino == before.st_ino, inPlace);
    QCOMPARE(QList<uint>({after.st_mode, after.st_uid, after.st_gid}),
             QList<uint>({before.st_mode, before.st_uid, before.st_gid}));
    if (setup == QLatin1String("root")) // given before the new file took the old one's place
        QCOMPARE(replacer.ownersGiven, (QList<QPair<uid_t, gid_t>>{{4242, before.st_gid}}));
    w.run("Effki2"); // asked when changed since opened, again after a No; never about its own write
    QCOMPARE(w.question.overwriteAsked, setup == QLatin1String("rewrite") ? 2 - overwrite : 0);
}

void EffectCommandsTest::commandsLeavePlaybackAlone_data() {
    QTest::addColumn<QString>("action");
    QTest::newRow("Megnyitás") << "EffBe";
    QTest::newRow("Mentés") << "Effki2";
    QTest::newRow("Mentés másként") << "Effki";
}

void EffectCommandsTest::commandsLeavePlaybackAlone() {
    QFETCH(QString, action);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("futó.eff"));
    QVERIFY(writeFile(path, fileWith({"000000000000", "000000000000", "xxxxxxxx0000"}, "500", "xxx")));
    Harness w;
    for (int step = 1; step <= 3; ++step) {
        w.form.setEnableBox(step, 1);
        w.form.setChannelBox(step, step, 1);
    }
    w.form.Start_Stop_Click();
    w.form.engine().tickNow();
    w.form.engine().tickNow();
    QCOMPARE(w.form.sequencer().currentStep, qint16(2));
    const auto writes = w.port.writes;
    const QList<QString> monitor = w.form.monitorLines;

    w.choose(path);
    w.run(qPrintable(action));
    QVERIFY2(w.failures->isEmpty(), qPrintable(w.lastFailure()));
    QCOMPARE(w.form.sequencer().running, qint16(1));
    QCOMPARE(w.form.sequencer().currentStep, qint16(2));
    QVERIFY(w.form.isHighlighted(2));
    QVERIFY(w.form.sequencer().timer().isActive());
    QCOMPARE(w.port.writes, writes);
    QCOMPARE(w.form.monitorLines, monitor); // the monitor line not rewritten

    // The next tick plays step 3 from the boxes as they are now.
    w.form.engine().tickNow();
    const quint8 data = action == QLatin1String("EffBe") ? 0xff : 0x20;
    QCOMPARE(w.port.writes.mid(writes.size(), 1), (QList<RecordingPort::Write>{{888, data}}));
}

QTEST_MAIN(EffectCommandsTest)
#include "tst_effectcommands.moc"
