#pragma once

#include <QObject>
#include <QString>

class EditHistory;
class FileChooser;
class QAbstractSlider;
class QWidget;
class Sequencer;
class StepPattern;
struct Module1;

// Open, Save and Save As of the File menu, and the caption that names the current file. None of
// them stops, starts or rewinds playback: a running sequence plays an opened effect from its next
// tick on. A file is either applied whole or not at all, and a save replaces the file on disk only
// once it has been written completely.
class EffectCommands : public QObject {
    Q_OBJECT
public:
    // title is the window's caption without a file; speedBar is VScroll1, whose change handler
    // stores the speed.
    EffectCommands(QWidget& window, const QString& title, StepPattern& boxes, Module1& module,
                   Sequencer& sequencer, QAbstractSlider& speedBar, FileChooser& chooser,
                   QObject* parent = nullptr);

    void setChooser(FileChooser& chooser) { m_chooser = &chooser; }
    // With a history, putting an opened effect into the window is one undo step.
    void setHistory(EditHistory& history) { m_history = &history; }

    void open();   // EffBe
    void save();   // Effki2
    void saveAs(); // Effki

    // Opens one of the examples like Open, but never makes it the current file: the caption
    // names it, and Save asks for a name as Save As does.
    bool openExample(const QString& path);
    // For a new, empty effect: the caption no longer names the example.
    void forgetExample() { m_exampleName.clear(); }

    void updateCaption();

    // The file Save As writes for a chosen name: the name itself when it ends in "eff" (case
    // matters, a dot does not), else the name with ".eff" added.
    static QString saveAsFileName(const QString& chosen);

signals:
    // A Hungarian message for the user; whatever failed has changed nothing.
    void failed(const QString& message);

private:
    bool readEffect(const QString& path, const QString& undoText);
    bool writeEffectFile(const QString& path);

    QWidget& m_window;
    QString m_title;
    StepPattern& m_boxes;
    Module1& m_module;
    Sequencer& m_sequencer;
    QAbstractSlider& m_speedBar;
    FileChooser* m_chooser;
    EditHistory* m_history = nullptr;
    QString m_exampleName; // shown in the caption while an example is open
};
