#include "output/SystemPort.h"
#include "player/PlayerMain.h"
#include "ui/Form1.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

int main(int argc, char* argv[]) {
    // The player needs no display: it runs before, and instead of, any GUI application.
    if (PlayerOptions::requested(argc, argv))
        return runPlayer(argc, argv);

    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.ktr"));

    // Qt's own texts (the file dialog, Yes/No buttons) in Hungarian like the rest of the program,
    // whatever the system's language; without the translation package they stay in English.
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_hu"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTexts);

    SystemPort port;
    Form1 window(port, EngineThreading::Thread);
    window.show();
    return app.exec();
}
