#pragma once

#include "ShowFile.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QStringList>

#include <optional>

class ShowClock;

// A stretch of time in which the show plays: [start, end), seconds since the epoch (UTC).
struct ShowWindow {
    qint64 start = 0;
    qint64 end = 0;
    bool operator==(const ShowWindow& other) const { return start == other.start && end == other.end; }
};

// When a show plays, worked out from the clock at any moment rather than kept as a list of
// events: what is open now, when it closes, when the next one opens. So a start inside a window,
// a reload, a change of the clock or of the time zone all give the right answer at once.
//
// Wall-clock times are local times in the clock's zone. A time the clocks skip (02:30 on the day
// summer time starts) means the moment they jump to; a time that occurs twice (the day it ends)
// its first occurrence. A window whose end is earlier than its start runs past midnight; its day
// is the day it starts. Windows that overlap or touch are one window, so nothing stops in between.
class ShowCalendar {
public:
    struct State {
        bool open = false;
        qint64 since = 0; // open: when the window opened
        qint64 until = 0; // open: when it closes; closed: when the next one opens; 0: none ahead
    };

    // No rules: always open.
    ShowCalendar() = default;
    ShowCalendar(QList<ScheduleRule> rules, std::optional<GeoPoint> location);

    bool always() const { return m_rules.isEmpty(); }

    // The windows of the rules whose day is within first..last (local dates), merged and in order.
    // Days on which a sun time does not exist (polar day or night) are skipped, each with a note.
    QList<ShowWindow> windows(QDate first, QDate last, const ShowClock& zone,
                              QStringList* notes = nullptr) const;
    State stateAt(qint64 utcSeconds, const ShowClock& zone) const;

    // The moment (seconds since the epoch) a local wall-clock time on a date means; minutes may be
    // 1440, the next midnight.
    static qint64 localMoment(QDate date, int minutes, const ShowClock& zone);
    static QDate localDate(qint64 utcSeconds, const ShowClock& zone);

private:
    std::optional<qint64> moment(const ScheduleTime& time, QDate date, const ShowClock& zone) const;
    // How far ahead a next window is looked for: long enough for a rule of one date a year.
    static constexpr int Horizon = 4 * 366;

    QList<ScheduleRule> m_rules;
    std::optional<GeoPoint> m_location;
    QDate m_lastDate; // with dates only: the last day any rule names
    mutable QHash<qint64, std::optional<qint64>> m_sunCache;
};
