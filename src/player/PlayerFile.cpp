#include "PlayerFile.h"

#include "effects/FileStamp.h"

#include <QThread>

namespace {

struct Reading {
    std::optional<FileStamp> stamp; // taken before the bytes, so that a write after it shows
    QByteArray bytes;
    bool operator==(const Reading& other) const { return stamp == other.stamp && bytes == other.bytes; }
};

bool read(const QString& path, Reading& reading, QString& error) {
    reading.stamp = FileStamp::of(path);
    return loadEffectBytes(path, reading.bytes, error);
}

} // namespace

std::optional<Effect> readEffectFile(const QString& path, QString& error, const ReadPause& pause) {
    Reading last;
    if (!read(path, last, error))
        return std::nullopt;
    for (int reads = 1;; ++reads) {
        if (pause)
            pause();
        else
            QThread::msleep(ReadPauseMs);
        Reading now;
        if (!read(path, now, error))
            return std::nullopt;
        if (now == last)
            break;
        if (reads + 1 >= MaxReads) {
            error =
                QStringLiteral("Nem sikerült beolvasni: „%1”\nA fájl olvasás közben folyamatosan változott: "
                               "az írása még tart. Ha elkészült, olvastassa be újra.")
                    .arg(path);
            return std::nullopt;
        }
        last = now;
    }
    EffectParseResult result = parseEffect(last.bytes, path);
    if (!result.effect)
        error = result.error;
    return result.effect;
}
