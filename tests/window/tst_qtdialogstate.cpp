#include "effects/FileSettings.h"
#include "ui/QtStateGuard.h"

#include <QDir>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

// Runs in its own program: the settings paths are fixed at the first use of QSettings, which
// must come after the configuration folder below is in place.
class QtDialogStateTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void fileDialogLeavesNoQtProjectConf();

private:
    QTemporaryDir m_home;
};

void QtDialogStateTest::initTestCase() {
    QVERIFY(m_home.isValid());
    qputenv("HOME", m_home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", m_home.filePath(QStringLiteral(".config")).toLocal8Bit());
}

void QtDialogStateTest::fileDialogLeavesNoQtProjectConf() {
    const QDir config(m_home.filePath(QStringLiteral(".config")));
    const QString qtProject = config.filePath(QStringLiteral("QtProject.conf"));
    auto showAndDestroy = [](bool guarded) {
        std::optional<QtStateGuard> guard;
        if (guarded)
            guard.emplace();
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.show();
        QCoreApplication::processEvents();
    };
    // Left alone, Qt writes the dialog's state on destruction: the check below can see it.
    QCOMPARE(QtStateGuard::qtStateFile(), qtProject);
    showAndDestroy(false);
    QVERIFY(QFile::exists(qtProject));
    QVERIFY(QFile::remove(qtProject));

    showAndDestroy(true);
    QVERIFY(!QFile::exists(qtProject));
    const QStringList left = config.entryList({QStringLiteral("QtProject*")}, QDir::Files | QDir::Hidden);
    QVERIFY2(left.isEmpty(), qPrintable(left.join(u' ')));

    // A QtProject.conf of other programs keeps its bytes.
    const QByteArray others = "[FileDialog]\nhistory=file:///elsewhere\n";
    QFile file(qtProject);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(others) == others.size());
    file.close();
    showAndDestroy(true);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), others);

    // The program's own settings are still written, to their own file.
    FileSettings::setLastFolder(m_home.path());
    QCOMPARE(FileSettings::lastFolder(), m_home.path());
    QVERIFY(QFile::exists(config.filePath(QStringLiteral("ktr/ktr.ini"))));
}

QTEST_MAIN(QtDialogStateTest)
#include "tst_qtdialogstate.moc"
