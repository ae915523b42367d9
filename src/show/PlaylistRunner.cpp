#include "PlaylistRunner.h"

#include "ShowClock.h"
#include "control/ShowControl.h"

PlaylistRunner::PlaylistRunner(ShowControl& control, const ShowClock& clock, QObject* parent)
    : QObject(parent), m_control(control), m_clock(clock) {
    connect(&m_control, &ShowControl::stepPlayed, this, &PlaylistRunner::onStepPlayed);
}

void PlaylistRunner::setPlaylist(const QList<PlaylistEntry>& playlist) {
    m_playlist = playlist;
    m_index = 0;
    if (m_playing && use(0))
        m_control.restartWalk();
}

void PlaylistRunner::begin() {
    if (m_playing || m_playlist.isEmpty())
        return;
    m_playing = true; // before the effect is in, so that whoever hears of it sees the show playing
    use(0);
    m_control.start();
}

void PlaylistRunner::end() {
    // Also when nothing played: outside a window the outputs are off, from the first look on.
    m_playing = false;
    m_control.stop();
    m_control.outputsOff();
}

void PlaylistRunner::checkTime() {
    if (m_playing && m_enabledSteps == 0 && due())
        handOver();
}

bool PlaylistRunner::due() const {
    const PlaylistEntry& entry = current();
    if (entry.rounds > 0)
        return m_enabledSteps > 0 && m_stepsPlayed >= qint64(entry.rounds) * m_enabledSteps;
    return m_clock.elapsed() - m_startedAt >= entry.durationMs;
}

void PlaylistRunner::onStepPlayed(int, EffectGrid::Channels) {
    if (!m_playing)
        return;
    ++m_stepsPlayed;
    if (due())
        handOver();
}

void PlaylistRunner::handOver() {
    if (m_playlist.size() == 1) {
        // A playlist of one effect is a plain show: it plays on without a break in the walk.
        m_stepsPlayed = 0;
        m_startedAt = m_clock.elapsed();
        return;
    }
    if (use((m_index + 1) % m_playlist.size()))
        m_control.restartWalk();
}

bool PlaylistRunner::use(int index) {
    // An effect that cannot be opened when its turn comes (removed or broken since the show was
    // read) is passed over; if none opens, the one playing plays on and is counted afresh.
    for (int tried = 0; tried < m_playlist.size(); ++tried) {
        const int candidate = (index + tried) % int(m_playlist.size());
        const PlaylistEntry& entry = m_playlist[candidate];
        const ShowControl::Result opened = m_control.openPath(entry.file);
        if (!opened.ok()) {
            emit problem(QStringLiteral("A(z) %1. sor effektje (%2) most kimarad:\n%3")
                             .arg(entry.line)
                             .arg(entry.written, opened.message));
            continue;
        }
        // The line's speed, else the file's, which opening it has put in (a file without one
        // keeps the speed, as Megnyitás does).
        if (entry.speed)
            m_control.setSpeed(*entry.speed);
        const EffectGrid grid = m_control.grid();
        m_enabledSteps = 0;
        for (int step = 1; step <= StepCount; ++step)
            m_enabledSteps += grid.enabled(step) ? 1 : 0;
        m_index = candidate;
        m_stepsPlayed = 0;
        m_startedAt = m_clock.elapsed();
        emit effectChanged(m_index);
        return true;
    }
    m_stepsPlayed = 0;
    m_startedAt = m_clock.elapsed();
    return false;
}
