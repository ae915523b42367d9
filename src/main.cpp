#include "output/OutputRouter.h"
#include "player/PlayerOptions.h"
#include "player/SignalWatcher.h"
#include "sequencer/RealtimePriority.h"
#include "ui/CommandLine.h"
#include "ui/Form1.h"
#include "ui/RemoteControl.h"
#include "ui/Rtkit.h"
#include "web/WebOptions.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// "ktr --play" blocks the player's signals before the libraries' own initialisation, which takes
// the window program milliseconds: a SIGHUP sent right after the start stays pending for the
// player (the mask survives exec) instead of ending the show.
void blockPlayerSignalsAtStart(int argc, char** argv, char**) {
    if (PlayerOptions::requested(argc, argv))
        SignalWatcher::blockPlayerSignalsAtStart();
}
[[gnu::used, gnu::section(".preinit_array")]] void (*const atStart)(int, char**,
                                                                    char**) = &blockPlayerSignalsAtStart;

// The folder of this program with a trailing slash, or nothing when /proc cannot say.
std::string ownFolder() {
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0 || self[0] != '/')
        return {};
    const std::string path(self, size_t(length));
    return path.substr(0, path.rfind('/') + 1);
}

// The player is a program of its own on Qt Core, installed beside this one (in the build tree
// it sits next to it); it takes the same arguments. Without /proc the installed one is run: a
// relative path would run whatever ktr-play the current folder holds.
int handOverToPlayer(char* argv[]) {
    // Already blocked at the start; the mask survives exec, so a SIGHUP (reload) or SIGTERM in the
    // player's first milliseconds stays pending until its signal watcher reads it.
    SignalWatcher::blockPlayerSignals();
    const std::string dir = ownFolder();
    std::vector<std::string> candidates{KTR_PLAYER_INSTALLED};
    if (!dir.empty())
        candidates = {dir + KTR_PLAYER_FROM_BIN, dir + "ktr-play"};
    int error = ENOENT;
    for (const std::string& path : candidates) {
        if (path.empty() || path.front() != '/')
            continue;
        ::execv(path.c_str(), argv);
        if (errno != ENOENT)
            error = errno;
    }
    std::fprintf(stderr, "ktr: a lejátszó (%s) nem indítható el: %s\n", candidates.front().c_str(),
                 std::strerror(error));
    return 1;
}

} // namespace

int main(int argc, char* argv[]) {
    // The player needs no display: it runs instead of any GUI application.
    if (PlayerOptions::requested(argc, argv))
        return handOverToPlayer(argv);
    // Before QApplication: --help and --version need no display, and without one Qt would abort.
    const QStringList arguments = CommandLine::arguments(argc, argv);
    CommandLine commandLine;
    if (!commandLine.parse(arguments))
        return commandLine.exitCode();
    // --output and the outputs' own options, for this run only; checked before any window opens.
    OutputChoice output = OutputChoice::loadSaved();
    QString outputError;
    if (!commandLine.applyOutputOptions(output, &outputError)) {
        std::fprintf(stderr, "ktr: %s\n", outputError.toLocal8Bit().constData());
        return 2;
    }
    WebOptions web;
    if (!commandLine.applyWebOptions(web, &outputError)) {
        std::fprintf(stderr, "ktr: %s\n", outputError.toLocal8Bit().constData());
        return 2;
    }
    if (!CommandLine::hasDisplay(arguments)) {
        std::fputs(CommandLine::noDisplayMessage().toLocal8Bit().constData(), stderr);
        return 1;
    }

    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.ktr"));

    // Qt's own texts (the file dialog, Yes/No buttons) in Hungarian like the rest of the program,
    // whatever the system's language; without the translation package they stay in English.
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_hu"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTexts);

    // The playback thread of a desktop session gets real-time priority through rtkit.
    RealtimePriority::setRtkit(&Rtkit::makeThreadRealtime);
    OutputRouter port(output);
    Form1 window(port, EngineThreading::Thread);
    window.show();
    window.remoteControl().configure(web); // a port in use is told once, and the show goes on
    // As Open would: a bad file gets its message and the window stays empty.
    if (!commandLine.file().isEmpty())
        window.effectCommands().openFile(commandLine.file());
    return app.exec();
}
