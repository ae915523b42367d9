#include "SchedulePreview.h"

#include "ShowCalendar.h"
#include "ShowClock.h"

QString localText(qint64 utcSeconds, const ShowClock& zone) {
    const qint64 wall = utcSeconds + zone.utcOffset(utcSeconds);
    const qint64 ofDay = ((wall % 86400) + 86400) % 86400;
    return QStringLiteral("%1 %2:%3")
        .arg(ShowCalendar::localDate(utcSeconds, zone).toString(Qt::ISODate))
        .arg(ofDay / 3600, 2, 10, QLatin1Char('0'))
        .arg(ofDay / 60 % 60, 2, 10, QLatin1Char('0'));
}

QStringList schedulePreview(const ShowCalendar& calendar, qint64 now, int days, const ShowClock& zone,
                            QStringList* notes) {
    if (calendar.always())
        return {QStringLiteral("Nincs When= sor: a műsor mindig szól.")};
    const qint64 horizon = now + qint64(days) * 86400;
    const QDate today = ShowCalendar::localDate(now, zone);
    QStringList lines;
    qint64 played = 0;
    int count = 0;
    QStringList dayNotes;
    const QList<ShowWindow> windows =
        calendar.windows(today.addDays(-2), today.addDays(days + 1), zone, &dayNotes);
    for (const ShowWindow& window : windows) {
        if (window.end <= now || window.start >= horizon)
            continue;
        lines << localText(window.start, zone) + QStringLiteral(" start")
              << localText(window.end, zone) + QStringLiteral(" stop");
        played += window.end - window.start;
        ++count;
    }
    if (notes) {
        const QString last = today.addDays(days).toString(Qt::ISODate);
        const QString first = today.toString(Qt::ISODate);
        for (const QString& note : std::as_const(dayNotes)) {
            const QString day = note.left(10);
            if (day >= first && day <= last)
                notes->append(note);
        }
    }
    const qint64 minutes = played / 60;
    lines << QStringLiteral("%1 nap alatt %2 ablak, összesen %3 óra %4 perc lejátszás.")
                 .arg(days)
                 .arg(count)
                 .arg(minutes / 60)
                 .arg(minutes % 60);
    return lines;
}
