#include "ShowScheduler.h"

#include "ShowClock.h"

ShowScheduler::ShowScheduler(ShowClock& clock, QObject* parent) : QObject(parent), m_clock(clock) {}

void ShowScheduler::setCalendar(const ShowCalendar& calendar) {
    m_calendar = calendar;
    if (m_checked)
        check();
}

void ShowScheduler::check() {
    const qint64 wall = m_clock.now();
    const qint64 steady = m_clock.elapsed();
    if (m_checked) {
        const qint64 drift = (wall - m_lastWall) - (steady - m_lastSteady);
        if (qAbs(drift) >= JumpThresholdMs)
            emit clockJumped(drift / 1000);
    }
    m_lastWall = wall;
    m_lastSteady = steady;
    m_clock.refreshZone();
    const qint64 now = wall >= 0 ? wall / 1000 : (wall - 999) / 1000;
    const ShowCalendar::State state = m_calendar.stateAt(now, m_clock);
    const bool first = !m_checked;
    m_checked = true;
    const bool changed =
        first || state.open != m_state.open || state.until != m_state.until || state.since != m_state.since;
    m_state = state;
    if (state.open != m_open || first) {
        m_open = state.open;
        // The first look tells either: outside a window the outputs go off from the start.
        if (m_open)
            emit opened();
        else
            emit closed();
    }
    if (changed)
        emit stateChanged();
}
