#include "ShowMain.h"

#include "SchedulePreview.h"
#include "ShowCalendar.h"
#include "ShowClock.h"
#include "ShowFile.h"
#include "ShowPlayer.h"
#include "player/HeadlessPlayer.h"
#include "player/PlayerStatus.h"
#include "player/PlayerWeb.h"
#include "player/ServiceNotifier.h"
#include "player/SignalWatcher.h"

#include <QCoreApplication>
#include <QDir>

namespace {

std::optional<Show> readShow(const QString& path, PlayerStatus& status, int& code) {
    QString error;
    std::optional<Show> show = readShowFile(path, error);
    if (!show) {
        status.error(error);
        // A file that is not there or not readable, as for an effect; anything it says wrong, 2.
        code = error.startsWith(u"Hibás műsorfájl") ? ShowMistaken : ShowUnreadable;
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

int runShow(const PlayerOptions& options, Port& port, const QString& outputName, PlayerStatus& status,
            ShowClock& clock, const ClockSync& sync) {
    int code = 0;
    const std::optional<Show> show = readShow(options.file, status, code);
    if (!show)
        return code;

    SignalWatcher watcher;
    if (!watcher.isValid()) {
        SignalWatcher::unblockPlayerSignals();
        status.error(QStringLiteral("A jelzések nem figyelhetők (signalfd): a lejátszó jelzésre azonnal "
                                    "kilép, és a műsort nem olvassa újra."));
    }
    HeadlessPlayer player(port, status, EngineThreading::Thread, outputName);
    player.standBy();
    ShowPlayer showPlayer(player.showControl(), clock, sync, status);
    ServiceNotifier service;
    const QString playing =
        QStringLiteral("Műsor: „%1”, kimenet: %2").arg(QDir::toNativeSeparators(options.file), outputName);
    QObject::connect(&watcher, &SignalWatcher::terminateRequested, &player, [&player, &service] {
        service.stopping();
        player.stop();
        QCoreApplication::exit(0);
    });
    QObject::connect(&watcher, &SignalWatcher::reloadRequested, &showPlayer, [&] {
        service.reloading();
        showPlayer.reload(options.file);
        service.ready(playing);
    });
    std::unique_ptr<WebServer> web;
    if (!startPlayerWeb(player.showControl(), options, status, web))
        return 2; // as a bad command line

    status.info(QStringLiteral("Műsor: „%1”, %2 effekt, kimenet: %3.")
                    .arg(QDir::toNativeSeparators(options.file))
                    .arg(show->playlist.size())
                    .arg(outputName));
    status.watch([&player] { return player.pattern().playingStep(); },
                 [&player] { return player.interval(); });
    showPlayer.begin(*show);
    // Signals are read from here on (Type=notify); a reload asked for earlier has waited for this.
    service.ready(playing);
    const int result = QCoreApplication::exec();
    player.stop();
    status.finish(QStringLiteral("Lejátszás vége."));
    return result;
}
