#include "output/serial/SerialSettingsDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

class SerialSettingsDialogTest : public QObject {
    Q_OBJECT
private slots:
    void headerAndFooter_data();
    void headerAndFooter();
    void protocolWithoutFrameText();
};

namespace {

OutputChoice proposedFor(const QString& protocol) {
    OutputChoice proposed;
    proposed.kind = QStringLiteral("serial");
    proposed.settings[SerialSettings::DeviceKey] = QStringLiteral("/dev/serial/by-id/usb-Arduino_Uno-if00");
    proposed.settings[SerialSettings::ProtocolKey] = protocol;
    return proposed;
}

QPushButton* okButton(const QDialog& dialog) {
    return dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
}

} // namespace

void SerialSettingsDialogTest::headerAndFooter_data() {
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("footer");
    QTest::addColumn<QString>("problem"); // empty: OK takes it

    QTest::newRow("the sketch's header") << "KTR"
                                         << ""
                                         << "";
    QTest::newRow("\\xNN bytes") << "\\x7E\\x01"
                                 << "\\x0D\\x0a"
                                 << "";
    QTest::newRow("one hex digit") << "\\x7"
                                   << ""
                                   << "Fejléc: A fejlécben és a láblécben";
    QTest::newRow("unknown escape in the footer") << "KTR"
                                                  << "\\n"
                                                  << "Lábléc: A fejlécben és a láblécben";
    QTest::newRow("too long") << QString(65, QLatin1Char('x')) << ""
                              << "Fejléc: A fejléc és a lábléc legfeljebb 64";
}

void SerialSettingsDialogTest::headerAndFooter() {
    QFETCH(QString, header);
    QFETCH(QString, footer);
    QFETCH(QString, problem);
    SerialSettingsDialog dialog(proposedFor(QStringLiteral("generic")));
    QVERIFY(dialog.headerEdit()->isEnabled());
    dialog.headerEdit()->setText(header);
    dialog.footerEdit()->setText(footer);
    dialog.baudBox()->setCurrentIndex(dialog.baudBox()->findData(57600));
    QCOMPARE(dialog.problemText().left(problem.size()), problem);
    QCOMPARE(okButton(dialog)->isEnabled(), problem.isEmpty());
    if (!problem.isEmpty())
        return;
    const OutputChoice choice = dialog.choice();
    QCOMPARE(choice.kind, QStringLiteral("serial"));
    QCOMPARE(choice.setting(SerialSettings::HeaderKey), header);
    QCOMPARE(choice.setting(SerialSettings::FooterKey), footer);
    QCOMPARE(choice.setting(SerialSettings::BaudKey), QStringLiteral("57600"));
}

void SerialSettingsDialogTest::protocolWithoutFrameText() {
    // A bad header typed for generic does not block an LCUS board, and is not kept for it.
    SerialSettingsDialog dialog(proposedFor(QStringLiteral("generic")));
    QCOMPARE(dialog.baudBox()->itemText(0), QStringLiteral("115200 (a protokoll alapértéke)"));
    dialog.headerEdit()->setText(QStringLiteral("\\x"));
    QVERIFY(!okButton(dialog)->isEnabled());
    dialog.protocolBox()->setCurrentIndex(
        dialog.protocolBox()->findData(int(SerialSettings::Protocol::Lcus)));
    QVERIFY(!dialog.headerEdit()->isEnabled());
    QVERIFY(okButton(dialog)->isEnabled());
    QCOMPARE(dialog.baudBox()->itemText(0), QStringLiteral("9600 (a protokoll alapértéke)"));
    const OutputChoice choice = dialog.choice();
    QCOMPARE(choice.setting(SerialSettings::ProtocolKey), QStringLiteral("lcus"));
    QCOMPARE(choice.setting(SerialSettings::HeaderKey), QString());
    QCOMPARE(choice.setting(SerialSettings::BaudKey), QString());
}

QTEST_MAIN(SerialSettingsDialogTest)
#include "tst_serialsettingsdialog.moc"
