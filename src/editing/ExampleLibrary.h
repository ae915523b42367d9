#pragma once

#include <QList>
#include <QString>

// The example effects installed with the program, in share/ktr/examples beside its bin folder.
class ExampleLibrary {
public:
    struct Example {
        QString title; // as the menu shows it
        QString path;
    };

    // The first of the candidate folders that holds any example; empty when there is none.
    static QString directory();
    static QStringList candidateDirectories();

    // The examples of a folder, known ones first in their own order under their Hungarian titles,
    // then any other .eff file there under its file name.
    static QList<Example> examples(const QString& directory);
    static QList<Example> examples() { return examples(directory()); }
};
