#include "output/serial/SerialSettingsDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

class SerialSettingsDialogTest : public QObject {
    Q_OBJECT
private slots:
    void entered_data();
    void entered();
};

void SerialSettingsDialogTest::entered_data() {
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("footer");
    QTest::addColumn<QString>("problem"); // empty: OK takes it
    QTest::addColumn<QString>("kept");    // the header the choice keeps

    const auto row = [](const char* name, const char* protocol, const QString& header, const char* footer,
                        const char* problem, const char* kept) {
        QTest::newRow(name) << QString::fromUtf8(protocol) << header << QString::fromUtf8(footer)
                            << QString::fromUtf8(problem) << QString::fromUtf8(kept);
    };
    row("the sketch's header", "generic", "KTR", "", "", "KTR");
    row("\\xNN bytes", "generic", "\\x7E\\x01", "\\x0D", "", "\\x7E\\x01");
    row("one hex digit", "generic", "\\x7", "", "Fejléc: A fejlécben és a láblécben", "");
    row("unknown escape in the footer", "generic", "KTR", "\\n", "Lábléc: A fejlécben", "");
    // A bad header typed for generic neither blocks an LCUS board nor is kept for it.
    row("lcus takes no header", "lcus", "\\x", "", "", "");
}

void SerialSettingsDialogTest::entered() {
    QFETCH(QString, protocol);
    QFETCH(QString, header);
    QFETCH(QString, footer);
    QFETCH(QString, problem);
    QFETCH(QString, kept);
    OutputChoice proposed;
    proposed.settings[SerialSettings::DeviceKey] = QStringLiteral("/dev/serial/by-id/usb-Arduino_Uno-if00");
    proposed.settings[SerialSettings::ProtocolKey] = QStringLiteral("generic");
    SerialSettingsDialog dialog(proposed);
    QCOMPARE(dialog.baudBox()->itemText(0), QStringLiteral("115200 (a protokoll alapértéke)"));
    dialog.headerEdit()->setText(header);
    dialog.footerEdit()->setText(footer);
    dialog.baudBox()->setCurrentIndex(dialog.baudBox()->findData(57600));
    dialog.protocolBox()->setCurrentIndex(dialog.protocolBox()->findText(protocol, Qt::MatchEndsWith));
    QCOMPARE(dialog.headerEdit()->isEnabled(), protocol == QLatin1String("generic"));
    QCOMPARE(dialog.problemText().left(problem.size()), problem);
    QCOMPARE(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->isEnabled(),
             problem.isEmpty());
    if (!problem.isEmpty())
        return;
    const OutputChoice choice = dialog.choice();
    QCOMPARE(choice.kind, QStringLiteral("serial"));
    QCOMPARE(choice.setting(SerialSettings::ProtocolKey), protocol);
    QCOMPARE(choice.setting(SerialSettings::HeaderKey), kept);
    QCOMPARE(choice.setting(SerialSettings::BaudKey), QStringLiteral("57600"));
}

QTEST_MAIN(SerialSettingsDialogTest)
#include "tst_serialsettingsdialog.moc"
