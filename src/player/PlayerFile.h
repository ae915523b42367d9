#pragma once

#include "effects/EffectFile.h"

#include <optional>

// Reads and checks a whole effect file with the same reader and messages as Open. Without a
// value, error holds the Hungarian message.
std::optional<Effect> readEffectFile(const QString& path, QString& error,
                                     EffectReading reading = EffectReading::Tolerant);
