#include "FileReplacer.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {

QString shown(const QByteArray& path) {
    return QStringLiteral("„%1”").arg(QDir::toNativeSeparators(QFile::decodeName(path)));
}

QString reason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

const QString OldFileKept = QStringLiteral("\nA korábbi fájl változatlan maradt.");

FileReplacer::Result failure(const QString& error) {
    return {false, error, {}};
}

QByteArray folderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

// Writes from the start of the file; returns how many bytes went in before a failure (errno set).
qsizetype writeFrom(int fd, const QByteArray& bytes, off_t offset) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t now =
            ::pwrite(fd, bytes.constData() + done, size_t(bytes.size() - done), offset + done);
        if (now < 0 && errno == EINTR)
            continue;
        if (now <= 0) {
            if (now == 0)
                errno = EIO;
            break;
        }
        done += now;
    }
    return done;
}

} // namespace

int FileReplacer::statFile(const char* path, struct stat& status) {
    return ::stat(path, &status);
}

int FileReplacer::createFile(const char* path) {
    return ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
}

int FileReplacer::changeOwner(int fd, uid_t owner, gid_t group) {
    return ::fchown(fd, owner, group);
}

FileReplacer::Result FileReplacer::write(const QString& path, const QByteArray& bytes) {
    QByteArray target = QFile::encodeName(path);
    struct stat status;
    if (::lstat(target.constData(), &status) == 0 && S_ISLNK(status.st_mode)) {
        // The link stays; the file it names is the one replaced.
        if (char* resolved = ::realpath(target.constData(), nullptr)) {
            target = resolved;
            std::free(resolved);
        } else if (errno == ENOENT) {
            return writeInPlace(target, bytes, true); // a link to no file yet: create what it names
        } else {
            return failure(QStringLiteral("A hivatkozás nem követhető (%1).").arg(reason(errno)));
        }
    }
    const QByteArray folder = folderOf(target);
    const int folderError = ::stat(folder.constData(), &status) == 0 ? 0 : errno;
    if (folderError == ENOENT)
        return failure(QStringLiteral("A mappa nem létezik: %1.").arg(shown(folder)));
    if (folderError == ENOTDIR || (folderError == 0 && !S_ISDIR(status.st_mode)))
        return failure(QStringLiteral("Nem mappa: %1.").arg(shown(folder)));
    if (folderError != 0)
        return failure(
            QStringLiteral("A mappa nem érhető el: %1 (%2).").arg(shown(folder), reason(folderError)));
    if (statFile(target.constData(), status) != 0) {
        if (errno != ENOENT)
            return failure(QStringLiteral("A fájl nem érhető el (%1).").arg(reason(errno)));
        return replace(target, bytes, nullptr);
    }
    if (S_ISDIR(status.st_mode))
        return failure(QStringLiteral("Ez egy mappa, nem fájl."));
    if (!S_ISREG(status.st_mode))
        return failure(QStringLiteral("Ez nem közönséges fájl."));
    // A write-protected file stays protected, even where its folder would allow replacing it.
    if (::faccessat(AT_FDCWD, target.constData(), W_OK, AT_EACCESS) != 0)
        return failure(QStringLiteral("A fájl nem írható (%1).").arg(reason(errno)) + OldFileKept);
    if (status.st_nlink > 1)
        return writeInPlace(target, bytes, false);
    return replace(target, bytes, &status);
}

FileReplacer::Result FileReplacer::replace(const QByteArray& target, const QByteArray& bytes,
                                           const struct stat* old) {
    const QByteArray folder = folderOf(target);
    const QByteArray name = target.mid(target.lastIndexOf('/') + 1);
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = folder + "/." + name + '.' +
                    QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        fd = createFile(temporary.constData());
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        const int error = errno;
        if (old && (error == EACCES || error == EPERM))
            return writeInPlace(target, bytes, false);
        return failure(
            QStringLiteral("A mappában nem hozható létre fájl: %1 (%2).").arg(shown(folder), reason(error)) +
            (old ? OldFileKept : QString()));
    }
    const auto drop = [&](const QString& error) {
        ::close(fd);
        ::unlink(temporary.constData());
        return failure(error + (old ? OldFileKept : QString()));
    };
    struct stat status;
    if (old) {
        if (::fstat(fd, &status) != 0)
            return drop(QStringLiteral("Írási hiba (%1).").arg(reason(errno)));
        if (status.st_uid != old->st_uid || status.st_gid != old->st_gid) {
            if (changeOwner(fd, old->st_uid, old->st_gid) != 0) {
                ::close(fd);
                ::unlink(temporary.constData());
                return writeInPlace(target, bytes, false);
            }
        }
        // After the owner: a change of owner clears the set-id bits.
        if (::fchmod(fd, old->st_mode & 07777) != 0)
            return drop(QStringLiteral("A fájl jogai nem állíthatók be (%1).").arg(reason(errno)));
    }
    if (writeFrom(fd, bytes, 0) != bytes.size() || ::fsync(fd) != 0 || ::fstat(fd, &status) != 0)
        return drop(QStringLiteral("Írási hiba (%1).").arg(reason(errno)));
    const FileStamp stamp = FileStamp::of(status);
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        return failure(QStringLiteral("Írási hiba (%1).").arg(reason(error)) +
                       (old ? OldFileKept : QString()));
    }
    if (::rename(temporary.constData(), target.constData()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        return failure(QStringLiteral("A fájl nem cserélhető le (%1).").arg(reason(error)) +
                       (old ? OldFileKept : QString()));
    }
    return {true, QString(), stamp};
}

// Over the old bytes first and cut to length after, rather than emptying the file first: an effect
// is about the same size every time, so running out of space midway is all but ruled out.
FileReplacer::Result FileReplacer::writeInPlace(const QByteArray& target, const QByteArray& bytes,
                                                bool create) {
    const int fd = ::open(target.constData(),
                          O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK | (create ? O_CREAT : 0), 0666);
    if (fd < 0)
        return failure(QStringLiteral("A fájl nem írható (%1).").arg(reason(errno)) +
                       (create ? QString() : OldFileKept));
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return failure(QStringLiteral("Ez nem közönséges fájl.") + OldFileKept);
    }
    const qsizetype done = writeFrom(fd, bytes, 0);
    const bool complete = done == bytes.size() && ::ftruncate(fd, off_t(bytes.size())) == 0 &&
                          ::fsync(fd) == 0 && ::fstat(fd, &status) == 0;
    const int error = errno;
    if (::close(fd) != 0 || !complete) {
        QString message = QStringLiteral("Írási hiba (%1).").arg(reason(complete ? errno : error));
        message += done == 0 ? OldFileKept : QStringLiteral("\nA fájl tartalma sérülhetett; mentse újra.");
        return failure(message);
    }
    return {true, QString(), FileStamp::of(status)};
}
