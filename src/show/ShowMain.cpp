#include "ShowMain.h"

#include "SchedulePreview.h"
#include "ShowCalendar.h"
#include "ShowClock.h"
#include "ShowFile.h"
#include "player/PlayerStatus.h"

#include <QFileInfo>

namespace {

std::optional<Show> readShow(const QString& path, PlayerStatus& status, int& code) {
    QString error;
    std::optional<Show> show = readShowFile(path, error);
    if (!show) {
        status.error(error);
        // A file that is not there or not readable, as for an effect; anything it says wrong, 2.
        code = error.startsWith(QLatin1String("Hibás műsorfájl")) ? ShowMistaken : ShowUnreadable;
    }
    return show;
}

} // namespace

int runShowPreview(const PlayerOptions& options, const ShowClock& clock, PlayerStatus& status) {
    int code = 0;
    const std::optional<Show> show = readShow(options.file, status, code);
    if (!show)
        return code;
    const ShowCalendar calendar(show->schedule, show->location);
    QStringList notes;
    const qint64 now = clock.now() / 1000;
    const QStringList lines = schedulePreview(calendar, now, *options.previewDays, clock, &notes);
    for (const QString& note : std::as_const(notes))
        status.error(note);
    for (const QString& line : lines)
        status.info(line);
    return 0;
}
