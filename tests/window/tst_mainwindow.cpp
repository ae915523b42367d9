#include "FakeSaveQuestion.h"
#include "RecordingPort.h"
#include "ui/Dialog.h"
#include "ui/Form1.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QSignalSpy>
#include <QtTest>

namespace {

template <typename T> T* child(QObject* parent, const char* name) {
    return parent->findChild<T*>(QString::fromUtf8(name));
}

QString caption(QObject* parent, const char* name) {
    if (auto* label = child<QLabel>(parent, name))
        return label->text();
    if (auto* button = child<QPushButton>(parent, name))
        return button->text();
    return QStringLiteral("<missing %1>").arg(QString::fromUtf8(name));
}

QStringList monitorItems(Form1& window) {
    QStringList items;
    auto* list = child<QListWidget>(&window, "List1");
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    return items;
}

QList<int> redSteps(Form1& window) {
    QList<int> red;
    for (int step = 1; step <= StepCount; ++step) {
        const QColor colour = window.enableCheckBox(step)->palette().color(QPalette::Window);
        if (colour == QColor(255, 0, 0))
            red << step;
    }
    return red;
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void startState();
    void geometry_data();
    void geometry();
    void stepLabels();
    void boxesAreAddressable();
    void startStopCaptionsAndWrites();
    void tickOnTheRealWindow();
    void highlightColours();
    void speedBar();
    void speedBarThumbDragReportsOnRelease();
    void menus();
    void aboutBoxIsSingleAndModeless();
    void portFailureShownOnceWithoutBlocking();
    void closingStopsPlayback();
    void programEndsWithItsLastWindow();
};

void MainWindowTest::initTestCase() {
    QStandardPaths::setTestModeEnabled(true); // the recent files go to a test settings file
}

void MainWindowTest::startState() {
    RecordingPort port;
    Form1 window(port);
    QCOMPARE(window.windowTitle(), QStringLiteral("KTR (zorvány4.1)"));
    for (int step = 1; step <= StepCount; ++step) {
        QCOMPARE(window.enableBox(step), 0);
        for (int channel = 1; channel <= ChannelCount; ++channel)
            QCOMPARE(window.channelBox(step, channel), 0);
    }
    QCOMPARE(caption(&window, "Label6"), QStringLiteral("Áll"));
    QCOMPARE(caption(&window, "Label7"), QStringLiteral("Zorvány:"));
    QCOMPARE(caption(&window, "Label3"), QStringLiteral(" Sebesség"));
    QCOMPARE(caption(&window, "Start_Stop"), QStringLiteral("START"));
    QCOMPARE(child<QListWidget>(&window, "List1")->count(), 0);
    auto* bar = child<QScrollBar>(&window, "VScroll1");
    QCOMPARE(bar->value(), 200);
    QCOMPARE(bar->minimum(), 2);
    QCOMPARE(bar->maximum(), 800);
    QCOMPARE(bar->orientation(), Qt::Vertical);
    QVERIFY(window.sequencer().timer().isActive());
    QCOMPARE(window.sequencer().timer().interval(), 200);
    QCOMPARE(window.sequencer().timer().objectName(), QStringLiteral("Timer1"));
    QVERIFY(!window.sequencer().speed.has_value());
    QCOMPARE(int(window.sequencer().running), 0);
    QCOMPARE(int(window.sequencer().currentStep), 0);
    QCOMPARE(int(window.module().controlValue), 203);
    QVERIFY(port.writes.isEmpty());
    QVERIFY(redSteps(window).isEmpty());

    // A fixed tool window with a close box only.
    const Qt::WindowFlags flags = window.windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Tool);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(window.testAttribute(Qt::WA_QuitOnClose));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.centralWidget()->size(), QSize(515, 537));
    QCOMPARE(window.minimumSize(), window.maximumSize());
}

void MainWindowTest::geometry_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("rect");
    QTest::newRow("Frame2") << "Frame2" << QRect(368, 0, 33, 537);
    QTest::newRow("Ch9") << "Ch9" << QRect(8, 8, 17, 17);
    QTest::newRow("Ch30") << "Ch30" << QRect(8, 512, 17, 17);
    QTest::newRow("Label7") << "Label7" << QRect(416, 8, 49, 17);
    QTest::newRow("Label6") << "Label6" << QRect(472, 8, 33, 17);
    QTest::newRow("List1") << "List1" << QRect(416, 48, 81, 17);
    QTest::newRow("Start_Stop") << "Start_Stop" << QRect(424, 112, 73, 41);
    QTest::newRow("Label3") << "Label3" << QRect(432, 176, 57, 17);
    QTest::newRow("VScroll1") << "VScroll1" << QRect(432, 200, 57, 313);
}

void MainWindowTest::geometry() {
    QFETCH(QString, name);
    QFETCH(QRect, rect);
    RecordingPort port;
    Form1 window(port);
    auto* widget = window.findChild<QWidget*>(name);
    QVERIFY(widget);
    QCOMPARE(widget->geometry(), rect);

    // The channel grid: frame i at 360 twips pitch, boxes at 120 + 360 (k - 1).
    const QList<QGroupBox*> frames = window.findChildren<QGroupBox*>(QStringLiteral("Frame1"));
    QCOMPARE(frames.size(), StepCount);
    for (QGroupBox* frame : frames) {
        const int i = frame->property("index").toInt();
        QCOMPARE(frame->geometry(), QRect(56, 24 * i, 297, 33));
        QCOMPARE(window.channelCheckBox(i + 1, 1)->parentWidget(), frame);
        QCOMPARE(window.channelCheckBox(i + 1, 12)->geometry(), QRect(8 + 24 * 11, 8, 17, 17));
    }
}

void MainWindowTest::stepLabels() {
    RecordingPort port;
    Form1 window(port);
    window.show();
    QStringList texts;
    const QList<QLabel*> labels = window.findChildren<QLabel*>();
    for (QLabel* label : labels) {
        if (!label->text().endsWith(QStringLiteral(". Lépés")))
            continue;
        const int step = label->text().section(QLatin1Char('.'), 0, 0).toInt();
        texts << label->text();
        const QRect g = label->geometry();
        QCOMPARE(g.top(), 8 + 24 * (step - 1));
        QCOMPARE(g.left(), step <= 9 ? 8 : 0);
        const bool wide = QList<int>{11, 12, 14, 15, 20}.contains(step);
        QCOMPARE(g.width(), step <= 9 ? 41 : (wide ? 57 : 49));
        QCOMPARE(label->objectName(), step == 2 ? QStringLiteral("Label2") : QStringLiteral("Label1"));
    }
    QCOMPARE(texts.size(), StepCount);

    // Every caption of the window must be readable whole at its fixed size.
    for (QLabel* label : labels) {
        const int needed = label->fontMetrics().horizontalAdvance(label->text());
        QVERIFY2(
            needed <= label->width(),
            qPrintable(
                QStringLiteral("%1 needs %2 px, has %3").arg(label->text()).arg(needed).arg(label->width())));
    }
    auto* list = child<QListWidget>(&window, "List1");
    QVERIFY(list->fontMetrics().horizontalAdvance(QStringLiteral("x0x0x0x0x0x0")) <=
            list->viewport()->width());
}

void MainWindowTest::boxesAreAddressable() {
    RecordingPort port;
    Form1 window(port);
    QSet<QString> names;
    for (int step = 1; step <= StepCount; ++step) {
        QCheckBox* enable = window.enableCheckBox(step);
        QCOMPARE(enable->objectName(), QStringLiteral("Ch%1").arg(step + 8));
        names.insert(enable->accessibleName());
        for (int channel = 1; channel <= ChannelCount; ++channel) {
            QCheckBox* box = window.channelCheckBox(step, channel);
            QCOMPARE(box->objectName(), QStringLiteral("Check%1").arg(channel));
            QCOMPARE(box->property("index").toInt(), step - 1);
            names.insert(box->accessibleName());
        }
    }
    QCOMPARE(names.size(), StepCount * (ChannelCount + 1));

    // A click toggles the box and nothing else.
    window.show();
    QTest::mouseClick(window.channelCheckBox(3, 4), Qt::LeftButton);
    QCOMPARE(window.channelBox(3, 4), 1);
    QTest::mouseClick(window.enableCheckBox(3), Qt::LeftButton);
    QCOMPARE(window.enableBox(3), 1);
    QVERIFY(port.writes.isEmpty());
    QCOMPARE(child<QListWidget>(&window, "List1")->count(), 0);

    window.channelCheckBox(3, 5)->setCheckState(Qt::PartiallyChecked);
    QCOMPARE(window.channelBox(3, 5), 2);
    window.setChannelBox(3, 5, 1);
    QCOMPARE(window.channelBox(3, 5), 1);
}

void MainWindowTest::startStopCaptionsAndWrites() {
    RecordingPort port;
    Form1 window(port);
    window.show();
    auto* button = child<QPushButton>(&window, "Start_Stop");
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(button->text(), QStringLiteral("STOP"));
    QCOMPARE(caption(&window, "Label6"), QStringLiteral("Fut."));
    QCOMPARE(port.writes, (QList<RecordingPort::Write>{{888, 0}, {890, 203}}));
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(button->text(), QStringLiteral("START"));
    QCOMPARE(caption(&window, "Label6"), QStringLiteral("Áll."));
    QCOMPARE(port.writes.size(), 2);
}

void MainWindowTest::tickOnTheRealWindow() {
    RecordingPort port;
    Form1 window(port);
    window.engine().pauseTimer();
    window.setEnableBox(3, 1);
    window.setEnableBox(7, 1);
    window.setChannelBox(3, 1, 1);  // 128
    window.setChannelBox(3, 10, 1); // C2
    window.setChannelBox(7, 8, 1);  // 1
    window.setChannelBox(7, 9, 1);  // C3
    window.Start_Stop_Click();
    port.writes.clear();

    const QList<int> played{0, 3, 7, 0, 3};
    const QList<RecordingPort::Write> step3{{888, 128}, {890, 207}};
    const QList<RecordingPort::Write> step7{{888, 1}, {890, 195}};
    for (int step : played) {
        port.writes.clear();
        window.engine().tickNow();
        QCOMPARE(redSteps(window), step ? QList<int>{step} : QList<int>{});
        if (step == 0)
            QVERIFY(port.writes.isEmpty());
        else
            QCOMPARE(port.writes, step == 3 ? step3 : step7);
    }
    QCOMPARE(monitorItems(window), QStringList{QStringLiteral("x00000000x00")});

    // The running timer drives the same tick.
    window.engine().speedChanged(2);
    window.engine().resumeTimer();
    port.writes.clear();
    QTRY_VERIFY(port.writes.size() >= 4);
}

void MainWindowTest::highlightColours() {
    RecordingPort port;
    Form1 window(port);
    const QColor normal = window.channelCheckBox(1, 1)->palette().color(QPalette::Window);
    window.setHighlight(5, true);
    QCOMPARE(window.enableCheckBox(5)->palette().color(QPalette::Window), QColor(255, 0, 0));
    // What counts is what is drawn: the margin around the box itself must come out red.
    const QImage drawn = window.enableCheckBox(5)->grab().toImage();
    QCOMPARE(drawn.pixelColor(drawn.width() - 1, drawn.height() / 2), QColor(255, 0, 0));
    const QImage plain = window.enableCheckBox(6)->grab().toImage();
    QCOMPARE(plain.pixelColor(plain.width() - 1, plain.height() / 2), normal);
    QVERIFY(window.enableCheckBox(5)->autoFillBackground());
    QVERIFY(window.isHighlighted(5));
    window.setHighlight(5, false);
    QCOMPARE(window.enableCheckBox(5)->palette().color(QPalette::Window), normal);
    QVERIFY(!window.isHighlighted(5));
}

void MainWindowTest::speedBar() {
    RecordingPort port;
    Form1 window(port);
    auto* bar = child<QScrollBar>(&window, "VScroll1");
    bar->setValue(200); // the value it holds: no change handler
    QVERIFY(!window.sequencer().speed.has_value());

    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(window.sequencer().speed.value(), qint16(201));
    QCOMPARE(window.sequencer().timer().interval(), 201);
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    QCOMPARE(window.sequencer().timer().interval(), 200);

    bar->setValue(0);
    QCOMPARE(bar->value(), 2); // never an interval of 0
    QCOMPARE(window.sequencer().timer().interval(), 2);
    bar->setValue(5000);
    QCOMPARE(window.sequencer().timer().interval(), 800);
    QVERIFY(window.sequencer().timer().isActive());
}

void MainWindowTest::speedBarThumbDragReportsOnRelease() {
    RecordingPort port;
    Form1 window(port);
    auto* bar = child<QScrollBar>(&window, "VScroll1");
    bar->setSliderDown(true);
    bar->setSliderPosition(500);
    QCOMPARE(window.sequencer().timer().interval(), 200);
    QVERIFY(!window.sequencer().speed.has_value());
    bar->setSliderDown(false);
    QCOMPARE(window.sequencer().timer().interval(), 500);
    QCOMPARE(window.sequencer().speed.value(), qint16(500));
}

void MainWindowTest::menus() {
    RecordingPort port;
    Form1 window(port);
    // Texts as shown: a mnemonic's '&' is no part of the caption.
    auto shown = [](const QAction* action) { return action->text().remove(u'&'); };
    const QList<QAction*> top = window.menuBar()->actions();
    QVERIFY(top.size() >= 2);
    QCOMPARE(shown(top[0]), QStringLiteral("Fájl"));
    QCOMPARE(top[0]->menu()->objectName(), QStringLiteral("menü2"));
    QCOMPARE(shown(top[1]), QStringLiteral("Névjegy"));
    QCOMPARE(top[1]->menu()->objectName(), QStringLiteral("menü1"));
    QStringList file;
    for (QAction* action : top[0]->menu()->actions())
        file << action->objectName() + QLatin1Char('=') + shown(action);
    QCOMPARE(file.mid(0, 3), (QStringList{QStringLiteral("EffBe=Megnyitás"), QStringLiteral("Effki2=Mentés"),
                                          QStringLiteral("Effki=Mentés másként")}));
    // The additions come after a separator; "Kilépés" last.
    QCOMPARE(file.mid(3), (QStringList{QStringLiteral("="), QStringLiteral("uj=Új"),
                                       QStringLiteral("=Legutóbbi fájlok"), QStringLiteral("=Minták"),
                                       QStringLiteral("="), QStringLiteral("kilepes=Kilépés")}));
    QCOMPARE(top[1]->menu()->actions().size(), 1);
    QCOMPARE(shown(top[1]->menu()->actions()[0]), QStringLiteral("Dorn és Kalmo"));
    QCOMPARE(top[1]->text(), QStringLiteral("&Névjegy")); // Alt+N, as the README says
    const QList<QAction*> entries = top[0]->menu()->actions();
    QCOMPARE(entries[0]->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    QCOMPARE(entries[1]->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
    QCOMPARE(entries[2]->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+S")));
    QCOMPARE(entries[4]->shortcut(), QKeySequence(QStringLiteral("Ctrl+N")));
    QCOMPARE(entries[8]->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
}

void MainWindowTest::aboutBoxIsSingleAndModeless() {
    RecordingPort port;
    Form1 window(port);
    window.show();
    window.setEnableBox(1, 1);
    window.engine().pauseTimer();
    window.Start_Stop_Click();

    auto* dorn = window.findChild<QAction*>(QStringLiteral("dorn"));
    dorn->trigger();
    dorn->trigger();
    QPointer<Dialog> box = window.aboutBox();
    QVERIFY(box);
    const QWidgetList windows = QApplication::topLevelWidgets();
    QCOMPARE(
        std::count_if(windows.begin(), windows.end(), [](QWidget* w) { return qobject_cast<Dialog*>(w); }),
        1);
    QVERIFY(box->isVisible());
    QVERIFY(!box->isModal());
    QVERIFY(!box->parentWidget());
    QVERIFY(box->testAttribute(Qt::WA_QuitOnClose));
    QVERIFY(box->windowIcon().isNull() || box->windowIcon().cacheKey() != window.windowIcon().cacheKey() ||
            window.windowIcon().isNull());
    QCOMPARE(box->windowTitle(), QStringLiteral("Névjegy"));
    QCOMPARE(box->size(), QSize(289, 320));
    QCOMPARE(caption(box, "Label2"), QStringLiteral("Változat: 4.0"));
    QCOMPARE(caption(box, "Label6"), QStringLiteral("Dátum: 2003.09.26"));
    QCOMPARE(caption(box, "Label8"), QStringLiteral("D0 - D7   (LPT 2 - 9-es láb)"));
    QCOMPARE(caption(box, "Label9"), QStringLiteral("C3 - C0    (LPT17; 16; 14; 1-es láb) "));
    QCOMPARE(caption(box, "Label12"),
             QStringLiteral("A program segítségével látványos fény effektusokat "
                            "készíthetünk a Parallel port alábbi kimeneteinek vezérlésével:"));
    QCOMPARE(child<QGroupBox>(box, "Frame1")->title(), QStringLiteral("Info"));
    QCOMPARE(child<QGroupBox>(box, "Frame2")->title(), QStringLiteral("Leírás"));
    QCOMPARE(child<QLabel>(box, "Label2")->geometry(), QRect(16, 56, 249, 17));
    auto* ok = child<QPushButton>(box, "OKButton");
    QCOMPARE(ok->geometry(), QRect(104, 288, 81, 25));
    QVERIFY(!ok->isDefault());
    QCOMPARE(box->findChildren<QLabel*>().size(), 10);
    for (QLabel* label : box->findChildren<QLabel*>()) {
        if (label->wordWrap())
            continue;
        QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
                 qPrintable(label->text()));
    }

    // Playback goes on while the box is open.
    port.writes.clear();
    window.engine().tickNow();
    QCOMPARE(port.writes.size(), 2);

    QTest::mouseClick(ok, Qt::LeftButton);
    QTRY_VERIFY(box.isNull());
    QVERIFY(!window.aboutBox());
    dorn->trigger();
    QVERIFY(window.aboutBox());
    QCOMPARE(caption(window.aboutBox(), "Label2"), QStringLiteral("Változat: 4.0"));
    window.aboutBox()->close();
    QTRY_VERIFY(!window.aboutBox());
}

void MainWindowTest::portFailureShownOnceWithoutBlocking() {
    RecordingPort port;
    port.setFault(QStringLiteral("A párhuzamos port nem használható: /dev/parport0"));
    Form1 window(port);
    window.show();
    window.engine().pauseTimer();
    window.setEnableBox(1, 1);
    window.Start_Stop_Click(); // returns: no modal loop
    QMessageBox* message = window.portMessage();
    QVERIFY(message);
    QVERIFY(message->isVisible());
    QVERIFY(!message->isModal());
    QVERIFY(message->text().contains(QStringLiteral("/dev/parport0")));
    message->close();
    QTRY_VERIFY(!window.portMessage());
    for (int i = 0; i < 3; ++i)
        window.engine().tickNow();
    QVERIFY(!window.portMessage()); // not again on every tick
    QCOMPARE(monitorItems(window), QStringList{QStringLiteral("000000000000")});
    QCOMPARE(redSteps(window), QList<int>{1});
}

void MainWindowTest::closingStopsPlayback() {
    RecordingPort port;
    Form1 window(port);
    FakeSaveQuestion discard(SaveQuestion::Answer::Discard); // the box below is an unsaved change
    window.setSaveQuestion(discard);
    window.show();
    window.setEnableBox(1, 1);
    window.Start_Stop_Click();
    window.close();
    QVERIFY(!window.sequencer().timer().isActive());
    const qsizetype before = port.writes.size();
    QTest::qWait(50);
    QCOMPARE(port.writes.size(), before); // nothing written at the end
}

// Both windows are tool windows, which Qt by default does not count when deciding to quit.
void MainWindowTest::programEndsWithItsLastWindow() {
    RecordingPort port;
    Form1 window(port);
    window.show();
    window.dorn_Click();
    QPointer<Dialog> box = window.aboutBox();
    QVERIFY(QGuiApplication::quitOnLastWindowClosed());

    bool mainClosed = false;
    bool stillRunningAfterMain = false;
    bool aboutClosed = false;
    QTimer::singleShot(0, &window, [&] {
        window.close();
        mainClosed = true;
        QTimer::singleShot(50, box, [&] {
            stillRunningAfterMain = true;
            aboutClosed = box->close();
        });
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, qApp, [] { QCoreApplication::exit(2); });
    watchdog.start(5000);
    const int result = QApplication::exec();
    QCOMPARE(result, 0); // not the watchdog
    QVERIFY(mainClosed);
    QVERIFY(stillRunningAfterMain); // the open about box kept the program alive
    QVERIFY(aboutClosed);
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
