#pragma once

#include "effects/EffectGrid.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class EditHistory;
class EffectCommands;
class PlaybackEngine;
class Port;
class SpeedControl;
class StepPattern;
class UnsavedChanges;

// Whether the output reaches its device, for a status line or a remote.
struct OutputState {
    QString name;    // where it plays, as the player's start line says it
    bool ok = true;  // false while the output is known not to reach its device
    QString message; // why not, in Hungarian; empty while ok
};

// The show as every client sees it.
struct ShowState {
    bool running = false;
    int step = 0;    // the step last played, 0 before the first of a START
    int speed = 200; // ms, as the speed bar holds it
    QString file;    // the current effect file's path; empty: none
    bool modified = false;
    EffectGrid grid; // the boxes now, with the speed the file would be saved with
    OutputState output;
    QString note; // what a client (a schedule) says about the show now; empty: nothing
};

// The one door to a show. The window's handlers, the player, a web page and a schedule all steer
// the show through these functions, so START, the speed, a box edit, Open and Save behave the
// same whoever asks; and every change, from whichever side, comes back as stateChanged(), every
// played step as stepPlayed().
//
// It lives on the owner's thread (the window's or the player's) and calls into the playback
// engine only through its functions. The boxes stay where they are (the window's check boxes,
// the player's effect): this class keeps no copy of the effect.
class ShowControl : public QObject {
    Q_OBJECT
public:
    // What a save or an open from a client came to.
    enum class Outcome {
        Done,
        Refused,  // bad request (a name with a path, a speed out of range…): nothing changed
        NotFound, // no such effect in the show's folder
        Conflict, // the file changed on disk, or unsaved changes would be lost: not forced
        Failed,   // it was tried and failed (the disk): nothing changed
    };
    struct Result {
        Outcome outcome = Outcome::Done;
        QString message; // Hungarian, for the user; empty when done
        bool ok() const { return outcome == Outcome::Done; }
    };

    ShowControl(StepPattern& boxes, SpeedControl& speed, PlaybackEngine& engine, EffectCommands& files,
                Port& port, QString outputName, QObject* parent = nullptr);

    // With a history, each box edit from a client is one undo step.
    void setHistory(EditHistory& history) { m_history = &history; }

    // START when stopped, STOP when playing: the button.
    void startStop();
    // START when stopped; nothing when already playing (and the other way round).
    void start();
    void stop();
    // Every output off: a step with every channel low is written to the port (a schedule's pause,
    // after stop(); the outputs otherwise keep the last step).
    void outputsOff();
    // The next tick plays the first enabled step, as after START, without START's write: a
    // playlist hands over to its next effect at a step boundary.
    void restartWalk();

    // As the speed bar would take it: 2..800 ms, else refused and nothing changed.
    Result setSpeed(int milliseconds);
    // Sets a step's enable box and/or channel boxes as clicks would (one undo step). step 1..22.
    Result setStep(int step, std::optional<bool> enabled, std::optional<EffectGrid::Channels> channels);

    // The .eff files of the show's folder (the current file's), sorted.
    QStringList effects() const;
    QString folder() const;
    // Opens one of effects() by its bare name, as Megnyitás would. Unsaved changes are kept
    // (Conflict) unless discard says to drop them.
    Result open(const QString& name, bool discard = false);
    // Opens a file by path without asking: the player's start and reload, a schedule.
    Result openPath(const QString& path);
    // Saves to the current file as Mentés would; a file changed on disk since it was read is
    // kept (Conflict) unless force.
    Result save(bool force = false);

    ShowState state() const;
    EffectGrid grid() const;
    bool running() const;
    int lastStep() const { return m_step; }
    OutputState output() const;

    // A client's word on the show (a schedule's "szünet"), part of the state until changed.
    void setNote(const QString& note);
    // Where it plays, when the choice of output changes.
    void setOutputName(const QString& name);

    // The owner tells it that boxes or the speed changed by hand (the window's clicks), so that
    // the playing thread, the unsaved mark and every client follow.
    void boxesChanged();
    void speedChanged(int value);

signals:
    // Anything in state() other than the step changed; sent once after a burst of changes.
    void stateChanged();
    // A step was written to the output: its number and the channels the output got.
    void stepPlayed(int step, EffectGrid::Channels channels);

private:
    void notify();
    void sendState();
    void onStepPlayed(int step, EffectGrid::Channels channels);
    void onPortFailed(const QString& message);

    StepPattern& m_boxes;
    SpeedControl& m_speed;
    PlaybackEngine& m_engine;
    EffectCommands& m_files;
    Port& m_port;
    QString m_outputName;
    EditHistory* m_history = nullptr;
    int m_step = 0;
    QString m_failure;
    bool m_outputOk = true;
    QString m_note;
    bool m_notifyPending = false;
};
