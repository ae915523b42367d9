#pragma once

#include "ShowCalendar.h"

#include <QObject>

class ShowClock;

// Follows a calendar on a clock: its owner has it look once a second whether a window is open,
// so that a window that opens or closes, a change of the system clock or of the time zone is acted
// on within a second. The first look tells which it is; after that only changes: opened() once per window,
// closed() once after it.
class ShowScheduler : public QObject {
    Q_OBJECT
public:
    // A wall clock that moves this much more or less than the steady clock has been set.
    static constexpr qint64 JumpThresholdMs = 2000;

    explicit ShowScheduler(ShowClock& clock, QObject* parent = nullptr);

    // A new calendar (a reload) is looked at at once.
    void setCalendar(const ShowCalendar& calendar);
    const ShowCalendar& calendar() const { return m_calendar; }
    // The once-a-second look; tests call it directly.
    void check();

    bool isOpen() const { return m_open; }
    ShowCalendar::State state() const { return m_state; }

signals:
    void opened();
    void closed();
    // The state or the moment it next changes is different from the last look.
    void stateChanged();
    // The wall clock was set (by hand, by a time server) by this many seconds.
    void clockJumped(qint64 seconds);

private:
    ShowClock& m_clock;
    ShowCalendar m_calendar;
    bool m_checked = false;
    bool m_open = false;
    ShowCalendar::State m_state;
    qint64 m_lastWall = 0;
    qint64 m_lastSteady = 0;
};
