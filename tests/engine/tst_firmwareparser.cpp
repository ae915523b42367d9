// The relay sketch's frame parser (firmware/ktr_relay/frame_parser.h, the same C the board runs)
// fed with the frames the serial output really sends, and with what a noisy line makes of them.
#include "frame_parser.h"

#include "output/serial/SerialFrames.h"

#include <QtTest>

namespace {

SerialFrames::Pins pinsOf(const QString& row) {
    SerialFrames::Pins pins{};
    for (int k = 0; k < 12; ++k)
        pins[k] = row[k] == QLatin1Char('x');
    return pins;
}

QByteArray frame(const QString& row, const QByteArray& header = "KTR", const QByteArray& footer = {}) {
    return SerialFrames(SerialSettings::Protocol::Generic, header, footer).frame(pinsOf(row));
}

} // namespace

class FirmwareParserTest : public QObject {
    Q_OBJECT
private slots:
    void frames_data();
    void frames();
};

void FirmwareParserTest::frames_data() {
    QTest::addColumn<QByteArray>("header"); // the sketch's
    QTest::addColumn<QByteArray>("footer");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QStringList>("applied");

    const QString a = QStringLiteral("0x00000000xx");
    const QString b = QStringLiteral("x000000x0x00");
    const QByteArray k = "KTR";
    QTest::newRow("noise with parts of the header, then two frames")
        << k << QByteArray() << QByteArray("\x13KTKKT") + frame(a) + frame(b) << QStringList{a, b};
    QTest::newRow("a lost channel byte costs only its frame")
        << k << QByteArray() << frame(a).chopped(1) + frame(b) << QStringList{b};
    QTest::newRow("a channel byte other than 00 or FF")
        << k << QByteArray() << frame(a).replace(5, 1, "\x80") + frame(b) << QStringList{b};
    QTest::newRow("a header that repeats its own start")
        << QByteArray("\x7E\x7E\x01") << QByteArray() << QByteArray("\x7E") + frame(a, "\x7E\x7E\x01")
        << QStringList{a};
    QTest::newRow("a footer; a wrong one drops its frame")
        << QByteArray("\x7E") << QByteArray("\x0D\x0A")
        << frame(a, "\x7E", "\x0D\x0B") + frame(b, "\x7E", "\x0D\x0A") << QStringList{b};
}

void FirmwareParserTest::frames() {
    QFETCH(QByteArray, header);
    QFETCH(QByteArray, footer);
    QFETCH(QByteArray, line);
    QFETCH(QStringList, applied);
    ktr_parser parser;
    ktr_parser_init(&parser, reinterpret_cast<const uint8_t*>(header.constData()), uint8_t(header.size()),
                    reinterpret_cast<const uint8_t*>(footer.constData()), uint8_t(footer.size()));
    QStringList got;
    for (const char byte : line) {
        uint8_t on[KTR_CHANNELS];
        if (!ktr_parser_feed(&parser, uint8_t(byte), on))
            continue;
        QString row;
        for (const uint8_t channel : on)
            row += channel ? QLatin1Char('x') : QLatin1Char('0');
        got << row;
    }
    QCOMPARE(got, applied);
}

QTEST_GUILESS_MAIN(FirmwareParserTest)
#include "tst_firmwareparser.moc"
