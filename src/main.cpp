#include "output/OutputListing.h"
#include "output/OutputRouter.h"
#include "player/PlayerMain.h"
#include "ui/CommandLine.h"
#include "ui/Form1.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstdio>

int main(int argc, char* argv[]) {
    // The player needs no display: it runs before, and instead of, any GUI application.
    if (PlayerOptions::requested(argc, argv))
        return runPlayer(argc, argv);
    // Before QApplication: --help and --version need no display, and without one Qt would abort.
    const QStringList arguments = CommandLine::arguments(argc, argv);
    CommandLine commandLine;
    if (!commandLine.parse(arguments))
        return commandLine.exitCode();
    // --output, --ola-port and --ola-patch, for this run only; checked before any window opens.
    OutputChoice output = OutputChoice::loadSaved();
    QString outputError;
    if (!commandLine.applyOutputOptions(output, &outputError)) {
        std::fprintf(stderr, "ktr: %s\n", outputError.toLocal8Bit().constData());
        return 2;
    }
    if (commandLine.listOutputsRequested())
        return listOutputs(output, stdout, stderr);
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
    // As Open would: a bad file gets its message and the window stays empty.
    if (!commandLine.file().isEmpty())
        window.effectCommands().openFile(commandLine.file());
    return app.exec();
}
