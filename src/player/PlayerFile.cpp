#include "PlayerFile.h"

std::optional<Effect> readEffectFile(const QString& path, QString& error) {
    QByteArray bytes;
    if (!loadEffectBytes(path, bytes, error))
        return std::nullopt;
    EffectParseResult result = parseEffect(bytes, path);
    if (!result.effect)
        error = result.error;
    return result.effect;
}
