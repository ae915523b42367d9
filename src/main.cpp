#include "output/OutputRouter.h"
#include "ui/Form1.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstdio>

int main(int argc, char* argv[]) {
    // --output and --ola-port, for this run only; checked before any window opens.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    QString outputError;
    const std::optional<OutputChoice> output = OutputChoice::fromArguments(arguments, &outputError);
    if (!output) {
        std::fprintf(stderr, "ktr: %s\n", outputError.toLocal8Bit().constData());
        return 2;
    }

    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.ktr"));

    // Qt's own texts (the file dialog, Yes/No buttons) in Hungarian like the rest of the program,
    // whatever the system's language; without the translation package they stay in English.
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_hu"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTexts);

    OutputRouter port(*output);
    Form1 window(port);
    window.show();
    return app.exec();
}
