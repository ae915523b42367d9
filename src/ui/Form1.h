#pragma once

#include "Dialog.h"
#include "ScrollBarSpeed.h"
#include "control/ShowControl.h"
#include "effects/EffectCommands.h"
#include "output/Module1.h"
#include "output/OutputMonitor.h"
#include "output/StepPattern.h"
#include "sequencer/PlaybackEngine.h"
#include "sequencer/Sequencer.h"
#include "ui/DialogFileChooser.h"
#include "ui/MessageBoxSaveQuestion.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QPalette>
#include <QPointer>

#include <array>
#include <memory>

class EditMenus;
class Port;
class QAction;
class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QScrollBar;
class RemoteControl;

// The main window. Its check boxes are the effect (there is no model behind them), its captions
// and scroll bar the visible run state. Logic reaches the boxes through StepPattern and the
// monitor line through MonitorView; the port is handed in, so tests can record what is written.
class Form1 : public QMainWindow, public StepPattern, public MonitorView {
    Q_OBJECT
public:
    static const QString Title;

    // Inline threading runs the tick on the window's thread (tests drive it by hand); the program
    // plays on a thread of its own.
    explicit Form1(Port& port, EngineThreading threading = EngineThreading::Inline,
                   QWidget* parent = nullptr);
    ~Form1() override;

    int channelBox(int step, int channel) const override;
    void setChannelBox(int step, int channel, int value) override;
    int enableBox(int step) const override;
    void setEnableBox(int step, int value) override;
    void setHighlight(int step, bool red) override;
    void setMonitorLine(const QString& line) override;

    bool isHighlighted(int step) const { return m_red[step - 1]; }
    QCheckBox* channelCheckBox(int step, int channel) const { return m_check[step - 1][channel - 1]; }
    QCheckBox* enableCheckBox(int step) const { return m_enable[step - 1]; }

    const Sequencer& sequencer() const { return m_engine.sequencer(); }
    PlaybackEngine& engine() { return m_engine; }
    // The show's one door: the window's handlers, and every remote, steer through it.
    ShowControl& showControl() { return *m_show; }
    // The web page (--web, "Távvezérlés…").
    RemoteControl& remoteControl() { return *m_remote; }
    Module1& module() { return m_module; }
    Dialog* aboutBox() const { return m_about; }
    QMessageBox* portMessage() const { return m_portMessage; }
    QScrollBar* speedBar() const { return m_vscroll1; }
    // The bar as the file and undo logic reach it.
    SpeedControl& speed() { return *m_speed; }
    EffectCommands& effectCommands() { return *m_effects; }
    QMessageBox* fileMessage() const { return m_fileMessage; }
    EditMenus& editMenus() { return *m_editMenus; }

    // The File menu asks for names through Qt's file dialog unless given another chooser, which
    // must then outlive the window or be replaced first.
    void setFileChooser(FileChooser& chooser) { m_effects->setChooser(chooser); }
    // Likewise the question about unsaved changes.
    void setSaveQuestion(SaveQuestion& question) { m_effects->setQuestion(question); }

    // Event handlers, public so that tests can drive them like the user does.
    void Start_Stop_Click();
    void VScroll1_Change(int value);
    void dorn_Click();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildStepRows(QWidget* client);
    void buildRunColumn(QWidget* client);
    void buildMenus();
    void watchForChanges();
    void load();
    void showPortFailure(const QString& message, bool latched);
    void showRunState();
    void showFileFailure(const QString& message);
    void showMessage(QPointer<QMessageBox>& box, const char* name, Qt::WindowModality modality,
                     const QString& message);

    Module1 m_module;
    std::array<std::array<QCheckBox*, ChannelCount>, StepCount> m_check{};
    std::array<QCheckBox*, StepCount> m_enable{};
    std::array<bool, StepCount> m_red{};
    QPalette m_redPalette;
    QPalette m_normalPalette;

    QLabel* m_label6 = nullptr;
    QListWidget* m_list1 = nullptr;
    QPushButton* m_startStop = nullptr;
    QScrollBar* m_vscroll1 = nullptr;
    std::unique_ptr<ScrollBarSpeed> m_speed;

    Port& m_port;
    PlaybackEngine m_engine;
    ShowControl* m_show = nullptr;
    RemoteControl* m_remote = nullptr;
    QPointer<Dialog> m_about;
    QPointer<QMessageBox> m_portMessage;
    DialogFileChooser m_dialogChooser{this};
    MessageBoxSaveQuestion m_saveQuestion{this, Title};
    EffectCommands* m_effects = nullptr;
    QPointer<QMessageBox> m_fileMessage;
    EditMenus* m_editMenus = nullptr;
    bool m_centred = false;
};
