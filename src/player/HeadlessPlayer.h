#pragma once

#include "EffectPattern.h"
#include "PlayerFile.h"
#include "PlayerSpeed.h"
#include "Unattended.h"
#include "WatchedPort.h"
#include "control/ShowControl.h"
#include "effects/EffectCommands.h"
#include "output/Module1.h"
#include "sequencer/PlaybackEngine.h"
#include "sequencer/Sequencer.h"

#include <QObject>
#include <QTimer>

#include <optional>

class PlayerStatus;

// Plays one effect without a window: the window's engine and file commands with a grid in place
// of the check boxes, steered through the same ShowControl, started exactly as the window starts
// after the file was opened. An output failure is reported once (a different one again), a failed
// output is retried in the background about once a second, and an output that works again is
// reported as such.
class HeadlessPlayer : public QObject {
    Q_OBJECT
public:
    static constexpr int RetryInterval = 1000;

    // Inline threading ticks on this thread (tests drive it by hand); the program plays on a
    // real-time thread of its own.
    HeadlessPlayer(Port& port, PlayerStatus& status, EngineThreading threading = EngineThreading::Inline,
                   const QString& outputName = QString(), QObject* parent = nullptr);

    // Start-up values, the effect as Open puts it in (path, when given, becomes the current file
    // that Save writes), the speed as the speed bar would take it (speedOverride, else the file's,
    // else the start value), then START.
    void start(const Effect& effect, std::optional<int> speedOverride = std::nullopt,
               const QString& path = QString());
    // Start-up values and the background retry of a failed output, without an effect or START:
    // a show's schedule says when it plays, and its playlist what.
    void standBy();
    // Reads the file again. A good one takes over at the next tick, without restarting the
    // timer or the step walk; its speed applies unless the speed was overridden. It is read as at
    // the start (readEffectFile); a bad one, or one that keeps changing, is reported and the old
    // effect plays on.
    bool reload(const QString& path);
    void setReadPause(ReadPause pause) { m_readPause = std::move(pause); }
    // No tick runs and nothing is written from now on; the outputs keep their last state.
    void stop();
    // The background retry of a failed output; the retry timer calls it.
    void retryOutput();

    ShowControl& showControl() { return m_show; }
    const Sequencer& sequencer() const { return m_engine.sequencer(); }
    PlaybackEngine& engine() { return m_engine; }
    const EffectPattern& pattern() const { return m_pattern; }
    int interval() const { return m_engine.interval(); }

private:
    void reportFailure(const QString& message);

    PlayerStatus& m_status;
    WatchedPort m_port;
    Module1 m_module;
    EffectPattern m_pattern;
    PlaybackEngine m_engine;
    PlayerSpeed m_speed;
    Unattended m_unattended;
    EffectCommands m_files;
    ShowControl m_show;
    QTimer m_retry;
    std::optional<int> m_speedOverride;
    ReadPause m_readPause;
    bool m_outputDown = false;
    QString m_reportedFailure; // the failure last told, while the output is down
    quint64 m_goodWritesAtRetry = 0;
};
