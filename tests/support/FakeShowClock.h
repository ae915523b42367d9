#pragma once

#include "show/ClockSync.h"
#include "show/ShowClock.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QTimeZone>

// Test double: a clock the test sets, in a time zone it names (IANA id). The wall clock and the
// steady clock move together with advance(); setWall() sets the wall clock alone, as a person or a
// time server would.
class FakeShowClock : public ShowClock {
public:
    explicit FakeShowClock(const QByteArray& zone = "Europe/Budapest");

    void setZone(const QByteArray& zone);
    // "2027-03-10T20:00", local time in the zone (not one the clocks skip or repeat).
    void setLocal(const QString& isoLocal);
    void setWall(qint64 msSinceEpoch) { m_wall = msSinceEpoch; }
    void advance(qint64 ms) {
        m_wall += ms;
        m_steady += ms;
    }

    qint64 now() const override { return m_wall; }
    qint64 elapsed() const override { return m_steady; }
    int utcOffset(qint64 utcSeconds) const override;

private:
    QTimeZone m_zone;
    QList<QPair<qint64, int>> m_transitions; // from that second on, that offset
    qint64 m_wall = 0;
    qint64 m_steady = 0;
};

// Test double: a clock that is synchronized when the test says so.
class FakeClockSync : public ClockSync {
public:
    bool synchronized() const override { return synced; }
    bool synced = true;
};
