#include "WebKey.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSettings>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int TextLength = WebKey::Bits / 4;

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString keyFileProblem(const QString& path, const QString& cause) {
    return QStringLiteral("A webes kulcs fájlja („%1”) nem használható: %2").arg(path, cause);
}

std::optional<WebKey> readKey(const QString& path, QString& error) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = keyFileProblem(path, systemError(errno));
        return std::nullopt;
    }
    struct stat info {};
    char buffer[TextLength + 2];
    ssize_t length = -1;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 077) == 0)
        length = ::read(fd, buffer, sizeof buffer);
    const int readError = errno;
    ::close(fd);
    if (!S_ISREG(info.st_mode)) {
        error = keyFileProblem(path, QStringLiteral("nem közönséges fájl."));
        return std::nullopt;
    }
    if (info.st_mode & 077) {
        error = keyFileProblem(path, QStringLiteral("a tulajdonosán kívül más is olvashatja; "
                                                    "javítás: chmod 600 „%1”")
                                         .arg(path));
        return std::nullopt;
    }
    if (length < 0) {
        error = keyFileProblem(path, systemError(readError));
        return std::nullopt;
    }
    QByteArrayView text(buffer, length);
    if (text.endsWith('\n'))
        text.chop(1);
    std::optional<WebKey> key = WebKey::fromText(text);
    if (!key)
        error = keyFileProblem(path, QStringLiteral("nem 32 hexadecimális jegyből álló kulcs van benne."));
    return key;
}

QByteArray newKeyText() {
    quint32 words[WebKey::Bits / 32];
    QRandomGenerator::system()->fillRange(words);
    return QByteArray(reinterpret_cast<const char*>(words), sizeof words).toHex();
}

// Writes a new key under a temporary name and links it to path, which fails if path appeared
// meanwhile: then the key already there is the one to use.
bool createKey(const QString& path, QString& error) {
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        error = keyFileProblem(path, QStringLiteral("a mappája nem hozható létre."));
        return false;
    }
    const QByteArray target = QFile::encodeName(info.absoluteFilePath());
    const QByteArray temporary = target + ".new-" + QByteArray::number(::getpid());
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = keyFileProblem(path, systemError(errno));
        return false;
    }
    const QByteArray text = newKeyText() + '\n';
    const bool written =
        ::write(fd, text.constData(), size_t(text.size())) == text.size() && ::fsync(fd) == 0;
    const int writeError = errno;
    ::close(fd);
    if (!written) {
        ::unlink(temporary.constData());
        error = keyFileProblem(path, systemError(writeError));
        return false;
    }
    const bool linked = ::link(temporary.constData(), target.constData()) == 0;
    const int linkError = errno;
    ::unlink(temporary.constData());
    if (!linked && linkError != EEXIST) {
        error = keyFileProblem(path, systemError(linkError));
        return false;
    }
    return true;
}

} // namespace

std::optional<WebKey> WebKey::fromText(QByteArrayView text) {
    if (text.size() != TextLength)
        return std::nullopt;
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return std::nullopt;
    }
    return WebKey(text.toByteArray());
}

std::optional<WebKey> WebKey::loadOrCreate(const QString& path, QString& error) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) {
        if (errno != ENOENT) {
            error = keyFileProblem(path, systemError(errno));
            return std::nullopt;
        }
        if (!createKey(path, error))
            return std::nullopt;
    }
    return readKey(path, error);
}

bool WebKey::matches(QByteArrayView candidate) const {
    // Every byte of the key is compared whatever the candidate's length; only the final answer
    // depends on where they differ.
    unsigned difference = candidate.size() == m_text.size() ? 0u : 1u;
    for (qsizetype i = 0; i < m_text.size(); ++i) {
        const char c = i < candidate.size() ? candidate[i] : '\0';
        difference |= unsigned(quint8(c ^ m_text[i]));
    }
    return difference == 0;
}

QString WebKey::windowKeyPath() {
    const QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("ktr"),
                             QStringLiteral("ktr"));
    return QFileInfo(settings.fileName()).absolutePath() + QStringLiteral("/web.key");
}

QString WebKey::playerKeyPath() {
    // systemd lists the unit's state directories separated by colons; the first is the unit's own.
    const QString state = qEnvironmentVariable("STATE_DIRECTORY").section(QLatin1Char(':'), 0, 0);
    if (!state.isEmpty())
        return state + QStringLiteral("/web.key");
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/ktr/player-web.key");
}
