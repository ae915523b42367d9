#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// One end of a schedule window as written: a local wall-clock time (HH:MM; 24:00 as an end), or
// sunrise/sunset with an offset.
struct ScheduleTime {
    enum class Kind { Clock, Sunrise, Sunset };
    Kind kind = Kind::Clock;
    int minutes = 0; // Clock: minutes after midnight, 0..1440; sun: the offset, signed

    bool isSun() const { return kind != Kind::Clock; }
    QString text() const;
    bool operator==(const ScheduleTime& other) const {
        return kind == other.kind && minutes == other.minutes;
    }

    // "START-END", spaces allowed around the "-": "17:00-23:00", "sunset-0:30 - 23:30",
    // "sunrise+1:00-12:00". Without a value error says what was expected, in Hungarian.
    static bool parseSpan(QStringView text, ScheduleTime& start, ScheduleTime& end, QString& error);
};
