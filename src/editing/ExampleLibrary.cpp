#include "ExampleLibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

struct Known {
    const char* file;
    const char* title;
};

const Known KnownExamples[] = {
    {"futofeny.eff", "Futófény"},
    {"oda-vissza.eff", "Oda-vissza (Knight Rider)"},
    {"feltoltes-urites.eff", "Feltöltés és ürítés"},
    {"valtakozo-felek.eff", "Váltakozó felek"},
    {"szikrazas.eff", "Szikrázás"},
};

} // namespace

QStringList ExampleLibrary::candidateDirectories() {
    // Installed: share/ktr/examples beside bin. The build tree has the same folder at its top, next
    // to the program itself and one level above the tests and the benchmark.
    const QDir bin(QCoreApplication::applicationDirPath());
    return {QDir::cleanPath(bin.filePath(QStringLiteral(KTR_EXAMPLES_FROM_BIN))),
            QDir::cleanPath(bin.filePath(QStringLiteral("share/ktr/examples")))};
}

QString ExampleLibrary::directory() {
    for (const QString& dir : candidateDirectories()) {
        if (!QDir(dir).entryList({QStringLiteral("*.eff")}, QDir::Files).isEmpty())
            return dir;
    }
    return QString();
}

QList<ExampleLibrary::Example> ExampleLibrary::examples(const QString& directory) {
    QList<Example> found;
    if (directory.isEmpty())
        return found;
    const QDir dir(directory);
    QStringList files = dir.entryList({QStringLiteral("*.eff")}, QDir::Files, QDir::Name);
    for (const Known& known : KnownExamples) {
        const QString file = QString::fromLatin1(known.file);
        if (files.removeOne(file))
            found.append({QString::fromUtf8(known.title), dir.filePath(file)});
    }
    for (const QString& file : files)
        found.append({QFileInfo(file).completeBaseName(), dir.filePath(file)});
    return found;
}
