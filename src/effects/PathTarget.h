#pragma once

#include <QByteArray>
#include <QString>

// Where a file's path leads at one moment: whether its last part is a symbolic link, and the file
// it comes to after every link and "..", as the system resolves it. Save compares this with what
// it was at Open or the last save, so that a link swapped in meanwhile (in a folder others may
// write) cannot send the save to another file.
struct PathTarget {
    bool isLink = false;
    QByteArray resolved; // for a link to nothing, what it names; for a missing file, where it would be

    static PathTarget of(const QString& path);
    bool operator==(const PathTarget& other) const {
        return isLink == other.isLink && resolved == other.resolved;
    }
    bool operator!=(const PathTarget& other) const { return !(*this == other); }

    // Empty when path leads where before did; otherwise why a save must not follow it, in
    // Hungarian, naming the link and the file it leads to now.
    static QString redirection(const QString& path, const PathTarget& before);
};
