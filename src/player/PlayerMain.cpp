#include "PlayerMain.h"

#include "HeadlessPlayer.h"
#include "PlayerFile.h"
#include "PlayerStatus.h"
#include "PlayerWeb.h"
#include "ServiceNotifier.h"
#include "SignalWatcher.h"
#include "output/Port.h"
#include "show/ClockSync.h"
#include "show/ShowFile.h"
#include "show/ShowMain.h"
#include "show/SystemClock.h"

#include <QCoreApplication>
#include <QFile>

#include <csignal>
#include <unistd.h>

namespace {

constexpr int BadFile = 1;
constexpr int BadCommandLine = 2;

} // namespace

int runPlayer(const PlayerOptions& options, Port& port, const QString& outputName, PlayerStatus& status) {
    QString error;
    const std::optional<Effect> effect = readEffectFile(options.file, error);
    if (!effect) {
        status.error(error);
        return BadFile;
    }

    SignalWatcher watcher;
    if (!watcher.isValid()) {
        // Blocked and unwatched, SIGTERM would never end the player.
        SignalWatcher::unblockPlayerSignals();
        status.error(QStringLiteral("A jelzések nem figyelhetők (signalfd): a lejátszó jelzésre azonnal "
                                    "kilép, és a fájlt nem olvassa újra."));
    }
    HeadlessPlayer player(port, status, EngineThreading::Thread, outputName);
    ServiceNotifier service;
    const QString playing = QStringLiteral("Lejátszás: „%1”, kimenet: %2").arg(options.file, outputName);
    QObject::connect(&watcher, &SignalWatcher::terminateRequested, &player, [&player, &service] {
        service.stopping();
        player.stop();
        QCoreApplication::exit(0);
    });
    // The file that plays: a remote may have opened another one of the show's folder.
    QObject::connect(&watcher, &SignalWatcher::reloadRequested, &player, [&] {
        const QString current = player.showControl().state().file;
        service.reloading();
        player.reload(current.isEmpty() ? options.file : current);
        service.ready(playing);
    });

    std::unique_ptr<WebServer> web;
    if (!startPlayerWeb(player.showControl(), options, status, web))
        return BadCommandLine;

    player.start(*effect, options.speed, options.file);
    status.info(QStringLiteral("Lejátszás: „%1”, sebesség: %2 ms, kimenet: %3.")
                    .arg(options.file)
                    .arg(player.interval())
                    .arg(outputName));
    // Signals are read from here on; a reload asked for earlier has waited for this.
    service.ready(playing);
    status.watch([&player] { return player.pattern().playingStep(); },
                 [&player] { return player.interval(); });
    const int code = QCoreApplication::exec();
    player.stop();
    status.finish(QStringLiteral("Lejátszás vége."));
    return code;
}

int runPlayer(int argc, char* argv[]) {
    // Before the application object: Qt's own threads must inherit the blocked signals.
    SignalWatcher::blockPlayerSignals();
    // A closed stdout (a pipe whose reader went away) must not end the show.
    std::signal(SIGPIPE, SIG_IGN);
    // The outputs' remedies point to the command line, not to the window's menus.
    OutputFailure::windowAvailable = false;
    QCoreApplication app(argc, argv);
    QFile out;
    QFile err;
    out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered);
    err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    PlayerStatus status(out, err, isatty(STDOUT_FILENO) == 1);

    PlayerOptions options;
    QString error;
    if (!PlayerOptions::parse(QCoreApplication::arguments(), options, error)) {
        status.error(error);
        return BadCommandLine;
    }
    if (options.previewDays) {
        SystemClock clock;
        return runShowPreview(options, clock, status);
    }
    const std::unique_ptr<Port> port = options.output.createPort();
    if (isShowPath(options.file)) {
        SystemClock clock;
        SystemClockSync sync;
        return runShow(options, *port, options.output.description(), status, clock, sync);
    }
    return runPlayer(options, *port, options.output.description(), status);
}
