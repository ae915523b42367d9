#pragma once

#include <QDate>
#include <QList>
#include <QString>

#include <optional>

// The days of a schedule line: weekdays (Mon..Sun, ranges and lists, "daily"), single dates and
// date ranges, in any mix separated by commas. A day is in the set when any item holds it.
class DaySet {
public:
    // "Mon..Fri", "Sat,Sun", "daily", "2026-12-24", "2026-12-24..2026-12-26", "Mon,2026-12-24".
    // Names are English abbreviations as systemd's calendar has them, in any case. Without a value
    // error says what was expected, in Hungarian.
    static std::optional<DaySet> parse(const QString& text, QString& error);

    bool contains(QDate date) const;
    // Only dates, no weekday: the set ends with its last date.
    bool datesOnly() const { return m_weekdays == 0; }
    QDate lastDate() const;

private:
    struct Range {
        QDate first;
        QDate last;
    };
    quint8 m_weekdays = 0; // bit 0 Monday … bit 6 Sunday
    QList<Range> m_dates;
};
