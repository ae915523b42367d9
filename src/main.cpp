#include "output/OutputRouter.h"
#include "player/PlayerOptions.h"
#include "ui/CommandLine.h"
#include "ui/Form1.h"
#include "ui/RemoteControl.h"
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

namespace {

// The player is a program of its own on Qt Core, installed beside this one (in the build tree
// it sits next to it); it takes the same arguments.
int handOverToPlayer(char* argv[]) {
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string dir = length > 0 ? std::string(self, size_t(length)) : std::string();
    dir = dir.substr(0, dir.rfind('/') + 1);
    int error = ENOENT;
    for (const std::string& path : {dir + KTR_PLAYER_FROM_BIN, dir + "ktr-play"}) {
        ::execv(path.c_str(), argv);
        if (errno != ENOENT)
            error = errno;
    }
    std::fprintf(stderr, "ktr: a lejátszó (%s%s) nem indítható el: %s\n", dir.c_str(), KTR_PLAYER_FROM_BIN,
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

    OutputRouter port(output);
    Form1 window(port, EngineThreading::Thread);
    window.show();
    window.remoteControl().configure(web); // a port in use is told once, and the show goes on
    // As Open would: a bad file gets its message and the window stays empty.
    if (!commandLine.file().isEmpty())
        window.effectCommands().openFile(commandLine.file());
    return app.exec();
}
