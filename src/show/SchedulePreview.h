#pragma once

#include <QString>
#include <QStringList>

class ShowCalendar;
class ShowClock;

// What a schedule does over the next days from now, as "ktr --play NAME.show --preview DAYS"
// prints it: "YYYY-MM-DD HH:MM start" and "… stop" lines in local time, in order, then a summary
// line. A window already open now is shown from its start; one that opens within the days is
// shown to its stop. notes gets the days a sun time skips.
QStringList schedulePreview(const ShowCalendar& calendar, qint64 nowSeconds, int days, const ShowClock& zone,
                            QStringList* notes = nullptr);

// "YYYY-MM-DD HH:MM" of a moment in the clock's zone.
QString localText(qint64 utcSeconds, const ShowClock& zone);
