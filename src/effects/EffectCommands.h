#pragma once

#include "FileReplacer.h"
#include "FileStamp.h"
#include "PathTarget.h"

#include <QObject>
#include <QString>

#include <functional>

struct Effect;
class EditHistory;
class FileChooser;
class SaveQuestion;
class UnsavedChanges;
class SpeedControl;
class PlaybackEngine;
class StepPattern;
struct Module1;

// Open, Save and Save As of the File menu, and the caption that names the current file. None of
// them stops, starts or rewinds playback: a running sequence plays an opened effect from its next
// tick on. A file is either applied whole or not at all, and a save leaves the file it replaces
// what it was (FileReplacer). Open, New and anything else that would drop unsaved changes asks
// first (mayDiscard); Save asks before it writes over a file that changed on disk meanwhile, and
// refuses a path that leads elsewhere than it did (a link swapped in).
class EffectCommands : public QObject {
    Q_OBJECT
public:
    // Shows the window's caption.
    using CaptionSink = std::function<void(const QString& caption)>;

    // title is the window's caption without a file; speedBar is VScroll1, whose change handler
    // stores the speed.
    EffectCommands(CaptionSink showCaption, const QString& title, StepPattern& boxes, Module1& module,
                   PlaybackEngine& engine, SpeedControl& speedBar, FileChooser& chooser,
                   SaveQuestion& question, QObject* parent = nullptr);

    void setChooser(FileChooser& chooser) { m_chooser = &chooser; }
    // With a history, putting an opened effect into the window is one undo step.
    void setHistory(EditHistory& history) { m_history = &history; }
    void setQuestion(SaveQuestion& question) { m_question = &question; }
    void setReplacer(FileReplacer& replacer) { m_replacer = &replacer; }

    void open();   // EffBe
    bool save();   // Effki2; true when the file was written
    bool saveAs(); // Effki; false also when cancelled
    void newEffect();

    // Opens one of the examples like Open, but never makes it the current file: the caption
    // names it, and Save asks for a name as Save As does.
    bool openExample(const QString& path);

    // Opens path without a file box, after the question; for the command line and the recent
    // files. Returns whether the file is in.
    bool openFile(const QString& path);

    // For clients that cannot be asked (a remote, the player): Open without the question, and Save
    // to the current file that keeps a file changed on disk unless forced. With an error they
    // return false and say why in error, and nothing has changed; failed() is not sent.
    bool openUnasked(const QString& path, QString* error);
    enum class SaveOutcome { Saved, NoFile, ChangedOnDisk, Failed };
    SaveOutcome saveUnasked(bool force, QString* error);
    bool isModified() const;
    // Puts an effect read elsewhere (the player's start and reload) in as Open does, and makes path
    // (empty: none) the current file as it was at stamp.
    void useEffect(const Effect& effect, const QString& path, const std::optional<FileStamp>& stamp);
    QString currentPath() const;

    // True when nothing unsaved would be lost: no changes, or the user saved them (and the save
    // succeeded) or chose to discard them. False leaves everything as it was.
    bool mayDiscard();

    UnsavedChanges& changes() { return *m_changes; }

    // The caption: the title, the file name (or the open example's) when there is one, and "*"
    // while there are unsaved changes.
    void updateCaption();

    // The file Save As writes for a chosen name: the name itself when it ends in "eff" (case
    // matters, a dot does not), else the name with ".eff" added.
    static QString saveAsFileName(const QString& chosen);

signals:
    // A Hungarian message for the user; whatever failed has changed nothing.
    void failed(const QString& message);
    // A file was opened or written under this path.
    void fileUsed(const QString& path);

private:
    bool readAndUse(const QString& path, QString* error = nullptr);
    void makeCurrent(const QString& path, const QString& exampleName);
    void recordAsOneStep(const QString& undoText, const std::function<void()>& change);
    bool readEffect(const QString& path, const QString& undoText, QString* error = nullptr);
    bool writeEffectFile(const QString& path, QString* error = nullptr);
    // Sends failed() for the user, or hands the message to a client that asked for it.
    bool report(const QString& message, QString* error);
    bool changedOnDisk(const QString& path) const;
    std::function<void(int)> intervalSetter();

    CaptionSink m_showCaption;
    QString m_title;
    StepPattern& m_boxes;
    Module1& m_module;
    PlaybackEngine& m_engine;
    SpeedControl& m_speedBar;
    FileChooser* m_chooser;
    EditHistory* m_history = nullptr;
    QString m_exampleName; // shown in the caption while an example is open
    SaveQuestion* m_question;
    UnsavedChanges* m_changes;
    FileReplacer m_ownReplacer;
    FileReplacer* m_replacer = &m_ownReplacer;
    // The current file as it was when last opened or saved here.
    std::optional<FileStamp> m_diskStamp;
    PathTarget m_diskTarget; // where the current file's path led then
};
