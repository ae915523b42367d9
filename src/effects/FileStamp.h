#pragma once

#include <QString>

#include <optional>

#include <sys/stat.h>

// What a file was at one moment, cheaply: which file (device and inode), its size and when it was
// last written, to the nanosecond. Another program saving over it changes at least one of these.
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};

    static FileStamp of(const struct stat& status);
    // Follows symbolic links; no value when there is no file to stamp.
    static std::optional<FileStamp> of(const QString& path);

    bool operator==(const FileStamp& other) const;
    bool operator!=(const FileStamp& other) const { return !(*this == other); }
};
