#pragma once

#include <QString>
#include <QStringList>

// What the program remembers about files between runs, in its own settings file
// (~/.config/ktr/ktr.ini, group "files"): the folder the file boxes start in and the recent files.
class FileSettings {
public:
    static constexpr int MaxRecent = 8;

    static QString lastFolder();
    static void setLastFolder(const QString& folder);

    // Most recent first, without duplicates.
    static QStringList recentFiles();
    static void addRecentFile(const QString& path);
    static void removeRecentFile(const QString& path);
};
