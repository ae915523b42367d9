#include "FakeShowClock.h"

#include <QDateTime>

#include <algorithm>

FakeShowClock::FakeShowClock(const QByteArray& zone) {
    setZone(zone);
}

void FakeShowClock::setZone(const QByteArray& zone) {
    m_zone = QTimeZone(zone);
    Q_ASSERT(m_zone.isValid());
    // The zone's changes over the years the tests use, looked up by a binary search: a year of
    // minutes asks for millions of offsets.
    m_transitions.clear();
    const QDateTime from(QDate(2019, 1, 1), QTime(0, 0), QTimeZone::utc());
    const QDateTime to(QDate(2036, 1, 1), QTime(0, 0), QTimeZone::utc());
    m_transitions.append({from.toSecsSinceEpoch(), m_zone.offsetFromUtc(from)});
    for (const QTimeZone::OffsetData& change : m_zone.transitions(from, to))
        m_transitions.append({change.atUtc.toSecsSinceEpoch(), change.offsetFromUtc});
}

void FakeShowClock::setLocal(const QString& isoLocal) {
    const QDateTime local = QDateTime::fromString(isoLocal, Qt::ISODate);
    m_wall = QDateTime(local.date(), local.time(), m_zone).toMSecsSinceEpoch();
}

int FakeShowClock::utcOffset(qint64 utcSeconds) const {
    if (utcSeconds < m_transitions.first().first || utcSeconds >= m_transitions.last().first + 366 * 86400LL)
        return m_zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(utcSeconds, QTimeZone::utc()));
    const auto after =
        std::upper_bound(m_transitions.cbegin(), m_transitions.cend(), utcSeconds,
                         [](qint64 value, const QPair<qint64, int>& change) { return value < change.first; });
    return std::prev(after)->second;
}
