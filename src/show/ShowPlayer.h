#pragma once

#include "PlaylistRunner.h"
#include "ShowFile.h"
#include "ShowScheduler.h"

#include <QObject>
#include <QTimer>

class ClockSync;
class PlayerStatus;
class ShowClock;
class ShowControl;

// A show in the player: its playlist plays while its schedule has a window open, through
// ShowControl alone. When a window opens the playlist starts from its first effect with START;
// when it closes, STOP and every output off. Once a second it looks at the clock, so a start
// inside a window plays at once and a change of the clock or the zone is followed within a
// second. Before the first look it waits (up to ClockWait seconds) for a synchronized clock.
// The status line and ShowControl's note say what plays, or "szünet" and when the next window
// opens.
class ShowPlayer : public QObject {
    Q_OBJECT
public:
    static constexpr int CheckInterval = 1000;

    ShowPlayer(ShowControl& control, ShowClock& clock, const ClockSync& sync, PlayerStatus& status,
               QObject* parent = nullptr);

    // Takes the show (read and checked) and starts looking once a second.
    void begin(const Show& show);
    // Reads the show again. A good one takes over at once (the playlist from its first effect, the
    // schedule at its next look); a bad one is reported and the old one plays on.
    bool reload(const QString& path);
    // The once-a-second look; tests call it directly.
    void check();

    bool waitingForClock() const { return m_waiting; }
    QString note() const { return m_note; }
    PlaylistRunner& playlist() { return m_playlist; }
    ShowScheduler& scheduler() { return m_scheduler; }

private:
    void onOpened();
    void onClosed();
    void updateNote();
    void take(const Show& show);

    ShowControl& m_control;
    ShowClock& m_clock;
    const ClockSync& m_sync;
    PlayerStatus& m_status;
    ShowScheduler m_scheduler;
    PlaylistRunner m_playlist;
    QTimer m_timer;
    Show m_show;
    bool m_waiting = false;
    qint64 m_waitStarted = 0;
    QString m_note;
};
