#include "PlayerFile.h"

std::optional<Effect> readEffectFile(const QString& path, QString& error, EffectReading reading) {
    QByteArray bytes;
    if (!loadEffectBytes(path, bytes, error))
        return std::nullopt;
    EffectParseResult result = parseEffect(bytes, path, reading);
    if (!result.effect)
        error = result.error;
    return result.effect;
}
