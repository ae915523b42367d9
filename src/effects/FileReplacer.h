#pragma once

#include "FileStamp.h"

#include <QByteArray>
#include <QString>

#include <sys/types.h>

// Writes a whole file at a path and leaves the file it replaces what it was: its owner, group and
// mode, its other hard links, and a symbolic link stays a link whose target gets the new bytes.
// Wherever that holds, the bytes go into a new file beside the old one, which is renamed over it
// only once they are all on disk: a failed save then leaves the old file untouched. Otherwise the
// old file itself is written, as a plain editor would: when it has more than one hard link, when
// its folder lets no new file in (a group's show folder whose files are group-writable), and when
// the new file cannot get the old one's owner and group (only root may give a file away).
class FileReplacer {
public:
    struct Result {
        bool written = false;
        QString error;   // Hungarian: what failed (the file or its folder) and the system's reason
        FileStamp stamp; // the file as written
    };

    virtual ~FileReplacer() = default;

    Result write(const QString& path, const QByteArray& bytes);

protected:
    // The calls whose outcome depends on who runs the program, so that tests can play root or
    // someone else's file without being root. Each returns what the system call does.
    virtual int statFile(const char* path, struct stat& status);
    virtual int createFile(const char* path); // a new file only, mode 0666 less the umask
    virtual int changeOwner(int fd, uid_t owner, gid_t group);

private:
    Result replace(const QByteArray& target, const QByteArray& bytes, const struct stat* old);
    Result writeInPlace(const QByteArray& target, const QByteArray& bytes, bool create);
};
