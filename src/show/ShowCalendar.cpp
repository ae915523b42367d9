#include "ShowCalendar.h"

#include "ShowClock.h"
#include "SunCalculator.h"

#include <algorithm>

namespace {

constexpr qint64 Day = 86400;
constexpr qint64 UnixEpochJulianDay = 2440588;

qint64 floorDiv(qint64 a, qint64 b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// Sun times go to the nearest whole minute, as the calculator shows them.
qint64 roundToMinute(qint64 seconds) {
    return floorDiv(seconds + 30, 60) * 60;
}

} // namespace

ShowCalendar::ShowCalendar(QList<ScheduleRule> rules, std::optional<GeoPoint> location)
    : m_rules(std::move(rules)), m_location(location) {
    bool datesOnly = !m_rules.isEmpty();
    for (const ScheduleRule& rule : m_rules) {
        datesOnly = datesOnly && rule.days.datesOnly();
        if (rule.days.datesOnly() && (!m_lastDate.isValid() || rule.days.lastDate() > m_lastDate))
            m_lastDate = rule.days.lastDate();
    }
    if (!datesOnly)
        m_lastDate = QDate();
}

qint64 ShowCalendar::localMoment(QDate date, int minutes, const ShowClock& zone) {
    // The wall-clock reading as if it were UTC; the real moment is this less the offset in force.
    const qint64 wall = (date.toJulianDay() - UnixEpochJulianDay) * Day + qint64(minutes) * 60;
    const int before = zone.utcOffset(wall - Day);
    const int after = zone.utcOffset(wall + Day);
    std::optional<qint64> found;
    for (const int offset : {before, after}) {
        const qint64 candidate = wall - offset;
        if (zone.utcOffset(candidate) == offset && (!found || candidate < *found))
            found = candidate; // of two readings, the earlier: the first occurrence
    }
    if (found)
        return *found;
    if (after <= before)
        return wall - before;
    // Skipped: the first moment of the new offset, that is when the clocks jumped over it.
    qint64 low = wall - after;   // still the old offset here
    qint64 high = wall - before; // the new one here
    while (high - low > 1) {
        const qint64 middle = low + (high - low) / 2;
        if (zone.utcOffset(middle) == after)
            high = middle;
        else
            low = middle;
    }
    return high;
}

QDate ShowCalendar::localDate(qint64 utcSeconds, const ShowClock& zone) {
    return QDate::fromJulianDay(floorDiv(utcSeconds + zone.utcOffset(utcSeconds), Day) + UnixEpochJulianDay);
}

std::optional<qint64> ShowCalendar::moment(const ScheduleTime& time, QDate date,
                                           const ShowClock& zone) const {
    if (!time.isSun())
        return localMoment(date, time.minutes, zone);
    if (!m_location)
        return std::nullopt;
    const int offset = zone.utcOffset(localMoment(date, 12 * 60, zone));
    // The calendar is asked every second about the same few days: the sun is worked out once.
    const qint64 key =
        (date.toJulianDay() * 2 + (time.kind == ScheduleTime::Kind::Sunrise)) * 200000 + offset + 100000;
    auto cached = m_sunCache.constFind(key);
    if (cached == m_sunCache.cend()) {
        if (m_sunCache.size() > 4096)
            m_sunCache.clear();
        cached = m_sunCache.insert(
            key, SunCalculator::event(time.kind == ScheduleTime::Kind::Sunrise ? SunCalculator::Event::Sunrise
                                                                               : SunCalculator::Event::Sunset,
                                      date, m_location->latitude, m_location->longitude, offset));
    }
    const std::optional<qint64> event = *cached;
    if (!event)
        return std::nullopt;
    return roundToMinute(*event) + qint64(time.minutes) * 60;
}

QList<ShowWindow> ShowCalendar::windows(QDate first, QDate last, const ShowClock& zone,
                                        QStringList* notes) const {
    QList<ShowWindow> found;
    for (QDate day = first; day <= last; day = day.addDays(1)) {
        if (m_lastDate.isValid() && day > m_lastDate)
            break;
        for (const ScheduleRule& rule : m_rules) {
            if (!rule.days.contains(day))
                continue;
            const std::optional<qint64> start = moment(rule.start, day, zone);
            std::optional<qint64> end = moment(rule.end, day, zone);
            // Two wall-clock times cross midnight by their reading; with a sun time, by the moments.
            const bool crosses = rule.start.isSun() || rule.end.isSun()
                                     ? start && end && *end <= *start
                                     : rule.end.minutes <= rule.start.minutes;
            if (crosses)
                end = moment(rule.end, day.addDays(1), zone);
            if (!start || !end) {
                if (notes)
                    notes->append(
                        QStringLiteral("%1: ezen a napon a Nap nem kel fel vagy nem nyugszik le, a(z) %2. "
                                       "sor (When=%3) kimarad.")
                            .arg(day.toString(Qt::ISODate))
                            .arg(rule.line)
                            .arg(rule.written));
                continue;
            }
            if (*end > *start)
                found.append({*start, *end});
        }
    }
    std::sort(found.begin(), found.end(),
              [](const ShowWindow& a, const ShowWindow& b) { return a.start < b.start; });
    QList<ShowWindow> merged;
    for (const ShowWindow& window : found) {
        if (!merged.isEmpty() && window.start <= merged.last().end)
            merged.last().end = std::max(merged.last().end, window.end);
        else
            merged.append(window);
    }
    return merged;
}

ShowCalendar::State ShowCalendar::stateAt(qint64 now, const ShowClock& zone) const {
    State state;
    if (always()) {
        state.open = true;
        return state;
    }
    const QDate today = localDate(now, zone);
    // A window open now began at most two days ago (one that runs past midnight). Further ahead is
    // looked at only while nothing is found; an open window that goes on beyond a month is shown
    // as closing then, which the display needs and nothing else does.
    const QDate first = today.addDays(-2);
    for (int span = 2;; span = std::min(span * 4, Horizon)) {
        const QDate last = today.addDays(span);
        const bool final = span >= Horizon || (m_lastDate.isValid() && last >= m_lastDate);
        const qint64 lastDayStart = localMoment(last, 0, zone);
        bool extend = false;
        for (const ShowWindow& window : windows(first, last, zone)) {
            if (window.end <= now)
                continue;
            if (window.start <= now) {
                if (window.end >= lastDayStart && !final && span < 32) {
                    extend = true;
                    break;
                }
                state.open = true;
                state.since = window.start;
                state.until = window.end;
                return state;
            }
            state.until = window.start;
            return state;
        }
        if (final && !extend)
            return state; // nothing ahead
    }
}
