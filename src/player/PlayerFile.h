#pragma once

#include "effects/EffectFile.h"

#include <functional>
#include <optional>

// The pause between two reads of the player's file; tests write the file during it.
using ReadPause = std::function<void()>;

// Reads and checks a whole effect file with the same reader and messages as Open, for the start
// and every reload alike. A file that another program is still writing (a reload sent right
// after an edit) changes between two reads a pause apart, in its size, its time of change or its
// bytes; it is read again until two reads agree, and refused when it keeps changing. Without a
// value, error holds the Hungarian message.
std::optional<Effect> readEffectFile(const QString& path, QString& error, const ReadPause& pause = {});

// The pause readEffectFile makes when given none, and how many times it reads at most.
constexpr int ReadPauseMs = 50;
constexpr int MaxReads = 20;
