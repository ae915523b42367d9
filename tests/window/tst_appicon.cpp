#include "RecordingPort.h"
#include "ui/AppIcon.h"
#include "ui/Dialog.h"
#include "ui/Form1.h"

#include <QSet>
#include <QtTest>

namespace {

// The 16 colours of the classic VGA palette.
const QSet<QRgb> vgaPalette{
    qRgb(0x00, 0x00, 0x00), qRgb(0x00, 0x00, 0xAA), qRgb(0x00, 0xAA, 0x00), qRgb(0x00, 0xAA, 0xAA),
    qRgb(0xAA, 0x00, 0x00), qRgb(0xAA, 0x00, 0xAA), qRgb(0xAA, 0x55, 0x00), qRgb(0xAA, 0xAA, 0xAA),
    qRgb(0x55, 0x55, 0x55), qRgb(0x55, 0x55, 0xFF), qRgb(0x55, 0xFF, 0x55), qRgb(0x55, 0xFF, 0xFF),
    qRgb(0xFF, 0x55, 0x55), qRgb(0xFF, 0x55, 0xFF), qRgb(0xFF, 0xFF, 0x55), qRgb(0xFF, 0xFF, 0xFF),
};

} // namespace

class AppIconTest : public QObject {
    Q_OBJECT
private slots:
    void iconIs32x32InSixteenVgaColours();
    void aboutBoxStaysWithoutIcon();
};

void AppIconTest::iconIs32x32InSixteenVgaColours() {
    const QIcon icon = appIcon();
    QVERIFY2(!icon.isNull(), "the icon resource is not linked into the program");
    QCOMPARE(icon.availableSizes(), QList<QSize>{QSize(32, 32)});

    const QImage image = icon.pixmap(QSize(32, 32)).toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(image.size(), QSize(32, 32));
    int opaque = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            const int alpha = qAlpha(pixel);
            // A 16-colour icon has a mask, not an alpha channel: no blended edges.
            QVERIFY2(alpha == 0 || alpha == 255,
                     qPrintable(QStringLiteral("alpha %1 at %2,%3").arg(alpha).arg(x).arg(y)));
            if (alpha == 0)
                continue;
            ++opaque;
            const QRgb rgb = pixel | 0xFF000000u;
            QVERIFY2(vgaPalette.contains(rgb), qPrintable(QStringLiteral("#%1 at %2,%3 is no VGA colour")
                                                              .arg(rgb & 0xFFFFFF, 6, 16, QLatin1Char('0'))
                                                              .arg(x)
                                                              .arg(y)));
        }
    }
    QVERIFY2(opaque > 32 * 32 / 4, "the icon is mostly empty");
}

void AppIconTest::aboutBoxStaysWithoutIcon() {
    RecordingPort port;
    Form1 window(port);
    window.setWindowIcon(appIcon());
    window.show();
    window.dorn_Click();
    QVERIFY(window.aboutBox());
    QVERIFY(!window.windowIcon().isNull());
    QVERIFY(window.aboutBox()->windowIcon().isNull());
    QVERIFY(window.aboutBox()->windowHandle());
    QVERIFY(window.aboutBox()->windowHandle()->icon().isNull());
}

QTEST_MAIN(AppIconTest)
#include "tst_appicon.moc"
