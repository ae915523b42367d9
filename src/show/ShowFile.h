#pragma once

#include "DaySet.h"
#include "ScheduleTime.h"
#include "effects/EffectFile.h"
#include "player/PlayerFile.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// A show file (NAME.show): which effects play in turn, and when. Plain text in two sections:
//   [Playlist]  Effect=FILE DURATION [SPEED]   (FILE relative to the show's folder; 45s, 2m, 1h,
//                                                1m30s or 4x rounds; SPEED 2..800 ms, "80ms")
//   [Schedule]  When=DAYS START-END, Location=LAT LON, ClockWait=SECONDS
// "#" starts a comment line; blank lines are ignored. Without When= lines the show plays always.

struct GeoPoint {
    double latitude = 0;  // degrees, north positive
    double longitude = 0; // degrees, east positive
};

struct PlaylistEntry {
    QString file;             // absolute path
    qint64 durationMs = 0;    // how long it plays; 0 when counted in rounds
    int rounds = 0;           // how many times its enabled steps are played through
    std::optional<int> speed; // ms; else the file's
    int line = 0;
    QString written; // the file's name as the line has it, for messages

    QString fileName() const;
    bool operator==(const PlaylistEntry& other) const {
        return file == other.file && durationMs == other.durationMs && rounds == other.rounds &&
               speed == other.speed;
    }
};

struct ScheduleRule {
    DaySet days;
    ScheduleTime start;
    ScheduleTime end;
    int line = 0;
    QString written;
};

struct Show {
    static constexpr int DefaultClockWait = 120;
    static constexpr int MaxClockWait = 3600;

    QString path;
    QList<PlaylistEntry> playlist;
    QList<ScheduleRule> schedule; // empty: always
    std::optional<GeoPoint> location;
    int clockWait = DefaultClockWait;
};

struct ShowParseResult {
    std::optional<Show> show;
    QString error; // Hungarian: the file, the line and what was expected
};

// Whether a path names a show rather than an effect (by its extension).
bool isShowPath(const QString& path);

// Checks the whole text; touches no file (the effects are not read). path names the file in
// messages and is the folder effect names are relative to.
ShowParseResult parseShow(const QByteArray& bytes, const QString& path);

// Reads the show and checks that every effect it names can be read, as the player reads an
// effect (readEffectFile: one still being written is waited for, pause apart). Without a value
// error says why.
std::optional<Show> readShowFile(const QString& path, QString& error, const ReadPause& pause = {});
