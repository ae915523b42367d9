#include "Form1.h"

#include "AppIcon.h"
#include "Dialog.h"
#include "EditMenus.h"
#include "FileMenu.h"
#include "MonitorDelegate.h"
#include "OutputMenu.h"
#include "RemoteControl.h"
#include "SpeedEntry.h"
#include "TaskbarHint.h"
#include "Twips.h"
#include "WindowKeys.h"
#include "output/OutputRouter.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>

#include <algorithm>

const QString Form1::Title = QStringLiteral("KTR (zorvány4.1)");

namespace {

constexpr int RowPitch = 360;
constexpr int RowTop = 120;

// Qt 6.7 renamed the signal (the old one is deprecated there); both are sent at the same moments.
#if QT_VERSION >= QT_VERSION_CHECK(6, 7, 0)
constexpr auto BoxStateChanged = &QCheckBox::checkStateChanged;
#else
constexpr auto BoxStateChanged = &QCheckBox::stateChanged;
#endif

int boxValue(const QCheckBox* box) {
    switch (box->checkState()) {
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    default:
        return 0;
    }
}

void setBoxValue(QCheckBox* box, int value) {
    box->setCheckState(value == 1 ? Qt::Checked : Qt::Unchecked);
}

// Step labels: steps 1..9 sit further right and are narrower; from 10 on the width follows how
// wide the number is drawn.
QRect stepLabelRect(int step) {
    const int top = RowTop + RowPitch * (step - 1);
    if (step <= 9)
        return twipsRect(120, top, 615, 255);
    const bool wide = step == 11 || step == 12 || step == 14 || step == 15 || step == 20;
    return twipsRect(0, top, wide ? 855 : 735, 255);
}

} // namespace

Form1::Form1(Port& port, EngineThreading threading, QWidget* parent)
    : QMainWindow(parent), m_port(port), m_engine(*this, *this, m_module, port, threading, this) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(Title);
    // A fixed tool window with a close box only. Tool windows do not end the program when
    // closed unless asked to, and this one must.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_QuitOnClose, true);
    setFont(windowFont());
    setWindowIcon(appIcon()); // the window's own: the about box has none

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(twips(7725), twips(8055));
    setCentralWidget(client);

    buildStepRows(client);
    buildRunColumn(client);
    m_speed = std::make_unique<ScrollBarSpeed>(*m_vscroll1);
    m_effects = new EffectCommands([this](const QString& caption) { setWindowTitle(caption); }, Title, *this,
                                   m_module, m_engine, *m_speed, m_dialogChooser, m_saveQuestion, this);
    connect(m_effects, &EffectCommands::failed, this, &Form1::showFileFailure);
    auto* router = dynamic_cast<OutputRouter*>(&port);
    m_show = new ShowControl(*this, *m_speed, m_engine, *m_effects, port,
                             router ? router->choice().description() : QString(), this);
    // A remote's START or STOP shows on the button and the label as a click does.
    connect(m_show, &ShowControl::stateChanged, this, &Form1::showRunState);
    buildMenus();
    watchForChanges();
    new FileMenu(*this, *findChild<QMenu*>(QStringLiteral("menü2")), *m_effects);
    m_remote = new RemoteControl(*m_show, this);
    if (router) {
        auto* outputMenu = new OutputMenu(*router, this);
        outputMenu->addTrailingAction(m_remote->action()); // "Távvezérlés…", after the outputs
        menuBar()->addMenu(outputMenu);
    }
    m_editMenus = new EditMenus(*this, *m_effects); // its menus come after the original ones
    new WindowKeys(*this, *m_startStop, *m_vscroll1);
    auto* speedEntry = new SpeedEntry(*m_vscroll1, client);
    speedEntry->setGeometry(twipsRect(6240, 7710, 1350, 330)); // below the speed bar, in free space
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    m_normalPalette = m_enable[0]->palette();
    m_redPalette = m_normalPalette;
    // The box paints its background in its background role; the style tints the frame from Window.
    m_redPalette.setColor(m_enable[0]->backgroundRole(), QColor(255, 0, 0));
    m_redPalette.setColor(QPalette::Window, QColor(255, 0, 0));

    connect(&m_engine, &PlaybackEngine::portFailed, this, &Form1::showPortFailure);
    hideFromTaskbar(this);
    load();
}

Form1::~Form1() {
    if (m_about)
        delete m_about.data(); // a box left open when the program ends
}

void Form1::buildStepRows(QWidget* client) {
    for (int i = 0; i < StepCount; ++i) {
        const int step = i + 1;
        // Frames overlap their neighbours; each one paints its own background so that the row
        // below covers the lower edge of the row above.
        auto* frame = new QGroupBox(client);
        frame->setObjectName(QStringLiteral("Frame1"));
        frame->setProperty("index", i);
        frame->setAutoFillBackground(true);
        frame->setGeometry(twipsRect(840, RowPitch * i, 4455, 495));
        for (int c = 0; c < ChannelCount; ++c) {
            auto* box = new QCheckBox(frame);
            box->setObjectName(QStringLiteral("Check%1").arg(c + 1));
            box->setProperty("index", i);
            box->setGeometry(twipsRect(120 + RowPitch * c, 120, 255, 255));
            box->setAccessibleName(QStringLiteral("%1. lépés, %2. csatorna").arg(step).arg(c + 1));
            m_check[i][c] = box;
        }
    }
    for (int step = 1; step <= StepCount; ++step) {
        QLabel* label = makeLabel(client, step == 2 ? "Label2" : "Label1",
                                  QStringLiteral("%1. Lépés").arg(step), stepLabelRect(step));
        if (step != 2)
            label->setProperty("index", step == 1 ? 0 : step - 2);
    }

    auto* frame2 = new QGroupBox(client);
    frame2->setObjectName(QStringLiteral("Frame2"));
    frame2->setGeometry(twipsRect(5520, 0, 495, 8055));
    for (int i = 0; i < StepCount; ++i) {
        auto* box = new QCheckBox(frame2);
        box->setObjectName(QStringLiteral("Ch%1").arg(i + 9));
        box->setGeometry(twipsRect(120, RowTop + RowPitch * i, 255, 255));
        box->setAutoFillBackground(true); // the background is the "now playing" marker
        box->setAccessibleName(QStringLiteral("%1. lépés engedélyezése").arg(i + 1));
        m_enable[i] = box;
    }
}

void Form1::buildRunColumn(QWidget* client) {
    makeLabel(client, "Label7", QStringLiteral("Zorvány:"), twipsRect(6240, 120, 735, 255));
    m_label6 = makeLabel(client, "Label6", QStringLiteral("Áll"), twipsRect(7080, 120, 495, 255));

    m_list1 = new QListWidget(client);
    m_list1->setObjectName(QStringLiteral("List1"));
    m_list1->setGeometry(twipsRect(6240, 720, 1215, 255));
    m_list1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list1->setUniformItemSizes(true);
    m_list1->setItemDelegate(new MonitorDelegate(m_list1));
    m_list1->setAccessibleName(QStringLiteral("Kimenetek"));
    // A display only: a clicked line must not stay highlighted through the following steps.
    m_list1->setSelectionMode(QAbstractItemView::NoSelection);
    m_list1->setFocusPolicy(Qt::NoFocus);

    m_startStop = new QPushButton(QStringLiteral("START"), client);
    m_startStop->setObjectName(QStringLiteral("Start_Stop"));
    m_startStop->setGeometry(twipsRect(6360, 1680, 1095, 615));
    connect(m_startStop, &QPushButton::clicked, this, &Form1::Start_Stop_Click);

    makeLabel(client, "Label3", QStringLiteral(" Sebesség"), twipsRect(6480, 2640, 855, 255));

    // Lower bound 2 with a page step of 1: the interval can never become 0. Without tracking the
    // bar reports a thumb drag only on release, arrow and trough clicks at once.
    m_vscroll1 = new QScrollBar(Qt::Vertical, client);
    m_vscroll1->setObjectName(QStringLiteral("VScroll1"));
    m_vscroll1->setGeometry(twipsRect(6480, 3000, 855, 4695));
    m_vscroll1->setRange(2, 800);
    m_vscroll1->setSingleStep(1);
    m_vscroll1->setPageStep(1);
    m_vscroll1->setTracking(false);
    m_vscroll1->setValue(Sequencer::StartInterval);
    m_vscroll1->setAccessibleName(QStringLiteral("Sebesség (ms)"));
    connect(m_vscroll1, &QScrollBar::valueChanged, this, &Form1::VScroll1_Change);
}

void Form1::buildMenus() {
    QMenu* fileMenu = menuBar()->addMenu(QStringLiteral("Fájl"));
    fileMenu->setObjectName(QStringLiteral("menü2"));
    QAction* open = fileMenu->addAction(QStringLiteral("Megnyitás"));
    open->setObjectName(QStringLiteral("EffBe"));
    QAction* save = fileMenu->addAction(QStringLiteral("Mentés"));
    save->setObjectName(QStringLiteral("Effki2"));
    QAction* saveAs = fileMenu->addAction(QStringLiteral("Mentés másként"));
    saveAs->setObjectName(QStringLiteral("Effki"));
    connect(open, &QAction::triggered, m_effects, &EffectCommands::open);
    connect(save, &QAction::triggered, m_effects, &EffectCommands::save);
    connect(saveAs, &QAction::triggered, m_effects, &EffectCommands::saveAs);

    QMenu* aboutMenu = menuBar()->addMenu(QStringLiteral("Névjegy"));
    aboutMenu->setObjectName(QStringLiteral("menü1"));
    QAction* dorn = aboutMenu->addAction(QStringLiteral("Dorn és Kalmo"));
    dorn->setObjectName(QStringLiteral("dorn"));
    connect(dorn, &QAction::triggered, this, &Form1::dorn_Click);
}

// Every edit of the effect, by the user or by a command, reaches the playing thread, the
// unsaved-changes mark and every remote through the show's door.
void Form1::watchForChanges() {
    for (const auto& row : m_check) {
        for (QCheckBox* box : row)
            connect(box, BoxStateChanged, m_show, &ShowControl::boxesChanged);
    }
    for (QCheckBox* box : m_enable)
        connect(box, BoxStateChanged, m_show, &ShowControl::boxesChanged);
}

void Form1::load() {
    m_vscroll1->setValue(Sequencer::StartInterval); // already 200: no change event
    m_engine.load();
}

int Form1::channelBox(int step, int channel) const {
    return boxValue(m_check[step - 1][channel - 1]);
}

void Form1::setChannelBox(int step, int channel, int value) {
    setBoxValue(m_check[step - 1][channel - 1], value);
}

int Form1::enableBox(int step) const {
    return boxValue(m_enable[step - 1]);
}

void Form1::setEnableBox(int step, int value) {
    setBoxValue(m_enable[step - 1], value);
}

void Form1::setHighlight(int step, bool red) {
    // The tick resets all 22 markers every time; only a real change touches the widget.
    if (m_red[step - 1] == red)
        return;
    m_red[step - 1] = red;
    m_enable[step - 1]->setPalette(red ? m_redPalette : m_normalPalette);
}

void Form1::setMonitorLine(const QString& line) {
    // The list always ends up holding this one line. Rewriting the existing item instead of
    // clearing and adding keeps the list from resetting and relaying out 500 times a second.
    if (m_list1->count() == 1) {
        m_list1->item(0)->setText(line);
        return;
    }
    m_list1->clear();
    m_list1->addItem(line);
}

void Form1::Start_Stop_Click() {
    m_show->startStop();
    showRunState();
}

void Form1::showRunState() {
    const bool playing = m_show->running();
    const QString button = playing ? QStringLiteral("STOP") : QStringLiteral("START");
    if (m_startStop->text() != button)
        m_startStop->setText(button);
    // The label reads "Áll" until the first STOP, as the window starts.
    const QString label = playing ? QStringLiteral("Fut.") : QStringLiteral("Áll.");
    if (playing || m_label6->text() != QStringLiteral("Áll"))
        m_label6->setText(label);
}

void Form1::VScroll1_Change(int value) {
    m_show->speedChanged(value);
}

void Form1::dorn_Click() {
    if (!m_about)
        m_about = new Dialog;
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

// latched: whether the output that failed waits for the next START (told by the playing thread
// with the failure, since the output in use may have changed since).
void Form1::showPortFailure(const QString& message, bool latched) {
    const QString ending =
        latched ? QStringLiteral("A lejátszás a képernyőn folytatódik; a következő START újra "
                                 "megpróbálja a kimenetet.")
                : QStringLiteral("A lejátszás a képernyőn folytatódik; a program másodpercenként "
                                 "újra próbálkozik.");
    // Non-modal: playback carries on behind the message.
    showMessage(m_portMessage, "portMessage", Qt::NonModal, message + QStringLiteral("\n\n") + ending);
}

void Form1::showFileFailure(const QString& message) {
    showMessage(m_fileMessage, "fileMessage", Qt::WindowModal, message);
}

// One box per kind of failure; a second failure while it is open only updates its text. None of
// them runs a nested event loop, so a tick or a click never waits on a message.
void Form1::showMessage(QPointer<QMessageBox>& box, const char* name, Qt::WindowModality modality,
                        const QString& message) {
    if (!box) {
        box = new QMessageBox(QMessageBox::Warning, Title, QString(), QMessageBox::Ok, this);
        box->setObjectName(QString::fromLatin1(name));
        box->setWindowModality(modality);
        box->setAttribute(Qt::WA_DeleteOnClose);
    }
    box->setText(message);
    box->show();
    box->raise();
}

void Form1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_centred)
        return;
    m_centred = true;
    if (const QScreen* screen = this->screen()) {
        // Centred, but never with the title or the menu bar off the top or left edge, which
        // happens on a small screen at a large scale factor.
        const QRect available = screen->availableGeometry();
        QRect frame = frameGeometry();
        frame.moveCenter(available.center());
        move(std::max(frame.left(), available.left()), std::max(frame.top(), available.top()));
    }
}

void Form1::closeEvent(QCloseEvent* event) {
    if (!m_effects->mayDiscard()) {
        event->ignore(); // Mégse, or the save failed: everything stays, playback included
        return;
    }
    // Closing the window ends playback with it; the port keeps its last values.
    m_engine.halt();
    if (m_portMessage)
        m_portMessage->close();
    if (m_fileMessage)
        m_fileMessage->close();
    event->accept();
}
