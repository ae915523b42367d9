#include "PathTarget.h"

#include <QDir>
#include <QFile>

#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray resolvedPath(const QByteArray& path) {
    if (char* resolved = ::realpath(path.constData(), nullptr)) {
        QByteArray result(resolved);
        std::free(resolved);
        return result;
    }
    return {};
}

QString shown(const QByteArray& path) {
    return QStringLiteral("„%1”").arg(QDir::toNativeSeparators(QFile::decodeName(path)));
}

} // namespace

PathTarget PathTarget::of(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    PathTarget target;
    struct stat status {};
    target.isLink = ::lstat(name.constData(), &status) == 0 && S_ISLNK(status.st_mode);
    target.resolved = resolvedPath(name);
    if (!target.resolved.isEmpty())
        return target;
    // No file (yet): where it would be, through the link's or the file's folder.
    QByteArray last = name.mid(name.lastIndexOf('/') + 1);
    if (target.isLink) {
        char named[PATH_MAX];
        const ssize_t length = ::readlink(name.constData(), named, sizeof named);
        last = length > 0 ? QByteArray(named, qsizetype(length)) : QByteArray();
        if (last.startsWith('/')) {
            target.resolved = last;
            return target;
        }
    }
    const qsizetype slash = name.lastIndexOf('/');
    const QByteArray folder = resolvedPath(slash < 0 ? QByteArray(".") : slash == 0 ? "/" : name.left(slash));
    if (!folder.isEmpty())
        target.resolved = (folder == "/" ? QByteArray() : folder) + '/' + last;
    return target;
}

QString PathTarget::redirection(const QString& path, const PathTarget& before) {
    const PathTarget now = of(path);
    if (now == before)
        return {};
    const QString file = shown(QFile::encodeName(path));
    QString text;
    if (now.isLink && !before.isLink)
        text = QStringLiteral("A %1 megnyitása (vagy legutóbbi mentése) óta szimbolikus hivatkozás lett, "
                              "amely ide mutat: %2.")
                   .arg(file, shown(now.resolved));
    else if (now.isLink)
        text = QStringLiteral("A %1 hivatkozás megnyitása (vagy legutóbbi mentése) óta máshova mutat: %2 "
                              "(korábban %3).")
                   .arg(file, shown(now.resolved), shown(before.resolved));
    else
        text = QStringLiteral("A %1 útvonal megnyitása (vagy legutóbbi mentése) óta máshova vezet: %2 "
                              "(korábban %3).")
                   .arg(file, shown(now.resolved), shown(before.resolved));
    return text + QStringLiteral("\nA mentés nem követi; a fájlok változatlanok maradtak. Ellenőrizze, ki "
                                 "módosította a mappát, vagy mentse másként.");
}
