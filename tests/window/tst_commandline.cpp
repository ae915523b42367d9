#include "ChildProcesses.h"
#include "FakeSaveQuestion.h"
#include "RecordingPort.h"
#include "effects/EffectCommands.h"
#include "effects/FileChooser.h"
#include "effects/UnsavedChanges.h"
#include "ui/CommandLine.h"
#include "ui/Form1.h"

#include <QAction>
#include <QFile>
#include <QProcess>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

class OpenChooser : public FileChooser {
public:
    explicit OpenChooser(const QString& path) : m_path(path) {}
    std::optional<QString> getOpenFileName() override { return m_path; }
    std::optional<QString> getSaveFileName() override { return std::nullopt; }
    bool confirmReplace(const QString&) override { return false; }

private:
    QString m_path;
};

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray effectFile() {
    QByteArray bytes = "x0000000000x\r\n";
    for (int step = 2; step <= StepCount; ++step)
        bytes += "000000000000\r\n";
    return bytes + "450\r\n0x\r\n";
}

} // namespace

class CommandLineTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void withoutDisplay_data();
    void withoutDisplay();
    void fileAtStartUp_data();
    void fileAtStartUp();
};

void CommandLineTest::initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
}

// The program itself, with no display of any kind.
void CommandLineTest::withoutDisplay_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    QTest::newRow("--help") << QStringList{"--help"} << 0 << "Használat: ktr [kapcsolók] [FÁJL.eff]"
                            << "";
    QTest::newRow("--version") << QStringList{"--version"} << 0 << "ktr 4.1\n"
                               << "";
    QTest::newRow("no display") << QStringList{} << 1 << ""
                                << "nincs grafikus kijelző";
    QTest::newRow("file, no display") << QStringList{"minta.eff"} << 1 << ""
                                      << "nincs grafikus kijelző";
    QTest::newRow("unknown option") << QStringList{"--nincs-ilyen"} << 2 << ""
                                    << "ismeretlen kapcsoló: nincs-ilyen";
    QTest::newRow("two files") << QStringList{"a.eff", "b.eff"} << 2 << ""
                               << "csak egy effektfájl";
}

void CommandLineTest::withoutDisplay() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    SKIP_WITHOUT_CHILD_PROCESSES();

    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(KTR_PROGRAM), arguments);
    QVERIFY(program.waitForFinished(20000));
    const QString stdOut = QString::fromLocal8Bit(program.readAllStandardOutput());
    const QString stdErr = QString::fromLocal8Bit(program.readAllStandardError());
    QCOMPARE(program.exitStatus(), QProcess::NormalExit); // not Qt's abort
    QCOMPARE(program.exitCode(), exitCode);
    if (out.isEmpty())
        QCOMPARE(stdOut, QString());
    else
        QVERIFY2(stdOut.startsWith(out), qPrintable(stdOut));
    if (err.isEmpty()) {
        QCOMPARE(stdErr, QString());
    } else {
        QVERIFY2(stdErr.contains(err), qPrintable(stdErr));
        QVERIFY2(stdErr.startsWith(QLatin1String("ktr: ")), qPrintable(stdErr));
    }
    if (exitCode == 1)
        QCOMPARE(stdErr.count(u'\n'), 1); // one line
}

// What main does with the file named on the command line, against what Open does with it.
void CommandLineTest::fileAtStartUp_data() {
    QTest::addColumn<QByteArray>("contents"); // empty: no such file
    QTest::addColumn<bool>("good");

    QTest::newRow("effect file") << effectFile() << true;
    QTest::newRow("missing file") << QByteArray() << false;
    QTest::newRow("short file") << QByteArray("x0x0\r\n200\r\n") << false;
}

void CommandLineTest::fileAtStartUp() {
    QFETCH(QByteArray, contents);
    QFETCH(bool, good);

    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()));
    if (!contents.isEmpty())
        QVERIFY(writeFile(dir.filePath(QStringLiteral("minta.eff")), contents));
    CommandLine commandLine;
    QVERIFY(commandLine.parse({QStringLiteral("ktr"), QStringLiteral("minta.eff")}));
    const QString path = QDir(dir.path()).absoluteFilePath(QStringLiteral("minta.eff"));
    QCOMPARE(commandLine.file(), path);

    RecordingPort port;
    Form1 started(port);
    QSignalSpy startFailures(&started.effectCommands(), &EffectCommands::failed);
    QCOMPARE(started.effectCommands().openFile(commandLine.file()), good);

    Form1 opened(port);
    OpenChooser chooser(path);
    FakeSaveQuestion question;
    opened.setFileChooser(chooser);
    opened.setSaveQuestion(question);
    QSignalSpy openFailures(&opened.effectCommands(), &EffectCommands::failed);
    opened.findChild<QAction*>(QStringLiteral("EffBe"))->trigger();

    QCOMPARE(startFailures.size(), good ? 0 : 1);
    if (!good)
        QCOMPARE(startFailures.at(0).at(0).toString(), openFailures.at(0).at(0).toString());
    QCOMPARE(started.windowTitle(), opened.windowTitle());
    QCOMPARE(started.module().effectPath, opened.module().effectPath);
    QCOMPARE(started.channelBox(1, 12), good ? 1 : 0);
    QCOMPARE(started.enableBox(2), good ? 1 : 0);
    QCOMPARE(started.speedBar()->value(), good ? 450 : 200);
    QVERIFY(!started.effectCommands().changes().isModified());
    QCOMPARE(question.asked, 0);
}

QTEST_MAIN(CommandLineTest)
#include "tst_commandline.moc"
