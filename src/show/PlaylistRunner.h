#pragma once

#include "ShowFile.h"
#include "effects/EffectGrid.h"

#include <QList>
#include <QObject>

class ShowClock;
class ShowControl;

// Plays a playlist through ShowControl alone: each effect is opened as the player opens a file,
// played for its time or its rounds, and handed over to the next at a step boundary, so that the
// next tick plays the next effect's first step; after the last the list starts again. Rounds are
// counted from the steps played; times from the clock's steady side, which a change of the wall
// clock does not move.
class PlaylistRunner : public QObject {
    Q_OBJECT
public:
    PlaylistRunner(ShowControl& control, const ShowClock& clock, QObject* parent = nullptr);

    // A new list. While playing, its first effect takes over at once (a reload).
    void setPlaylist(const QList<PlaylistEntry>& playlist);
    // The first effect, then START.
    void begin();
    // STOP (when playing), then every output off.
    void end();
    bool playing() const { return m_playing; }
    int index() const { return m_index; }
    const PlaylistEntry& current() const { return m_playlist.at(m_index); }
    int size() const { return int(m_playlist.size()); }

    // Looks whether a timed effect is due to hand over even though no step plays (an effect with
    // no enabled step); the show calls it once a second.
    void checkTime();

signals:
    // The effect now playing changed (index into the playlist).
    void effectChanged(int index);
    // An effect could not be opened when its turn came; the message says which and why.
    void problem(const QString& message);

private:
    void onStepPlayed(int step, EffectGrid::Channels channels);
    bool due() const;
    // Opens the effect at index (or the next one that opens) and starts counting it.
    bool use(int index);
    void handOver();

    ShowControl& m_control;
    const ShowClock& m_clock;
    QList<PlaylistEntry> m_playlist;
    bool m_playing = false;
    int m_index = 0;
    qint64 m_startedAt = 0; // steady clock, ms
    qint64 m_stepsPlayed = 0;
    int m_enabledSteps = 0;
};
