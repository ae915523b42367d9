#include "FileSettings.h"

#include <QFileInfo>
#include <QSettings>

#include <memory>

namespace {

const QString FolderKey = QStringLiteral("files/lastFolder");
const QString RecentKey = QStringLiteral("files/recent");

// The one settings file of the program, shared with the other settings groups.
std::unique_ptr<QSettings> openSettings() {
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("ktr"),
                                       QStringLiteral("ktr"));
}

void storeRecent(const QStringList& files) {
    const auto s = openSettings();
    s->setValue(RecentKey, files);
}

} // namespace

QString FileSettings::lastFolder() {
    const auto s = openSettings();
    return s->value(FolderKey).toString();
}

void FileSettings::setLastFolder(const QString& folder) {
    const auto s = openSettings();
    s->setValue(FolderKey, folder);
}

QStringList FileSettings::recentFiles() {
    const auto s = openSettings();
    QStringList files = s->value(RecentKey).toStringList();
    files.removeAll(QString());
    files.removeDuplicates();
    return files.mid(0, MaxRecent);
}

void FileSettings::addRecentFile(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QStringList files = recentFiles();
    files.removeAll(absolute);
    files.prepend(absolute);
    storeRecent(files.mid(0, MaxRecent));
}

void FileSettings::removeRecentFile(const QString& path) {
    QStringList files = recentFiles();
    files.removeAll(path);
    storeRecent(files);
}
