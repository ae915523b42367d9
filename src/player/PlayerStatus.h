#pragma once

#include "output/OutputMonitor.h"

#include <QObject>
#include <QTimer>

#include <functional>

class QIODevice;

// The player's console. On a terminal one live line (step, the monitor line, the speed) is
// rewritten in place a few times a second; otherwise only the start line, failures and the end
// line are printed, so that a journal is not flooded at hundreds of steps a second.
class PlayerStatus : public QObject, public MonitorView {
    Q_OBJECT
public:
    static constexpr int RefreshInterval = 200;

    PlayerStatus(QIODevice& out, QIODevice& err, bool live, QObject* parent = nullptr);

    // The tick's monitor refresh: only kept, the live line shows it at its next refresh.
    void setMonitorLine(const QString& line) override { m_monitorLine = line; }
    QString monitorLine() const { return m_monitorLine; }

    // Where the live line gets the step and the speed from; starts the refreshes on a terminal.
    void watch(std::function<int()> step, std::function<int()> intervalMs);

    // A short note on the output at the end of the live line (empty: none).
    void setOutputNote(const QString& note) { m_outputNote = note; }
    // A show's word at the start of the live line: what plays, or the pause (empty: none).
    void setShowNote(const QString& note) { m_showNote = note; }

    void info(const QString& text);
    void error(const QString& text);
    // Rewrites the live line if it changed. Called by the refresh timer.
    void refresh();
    // Final line; the live line stops.
    void finish(const QString& text);

    bool isLive() const { return m_live; }
    QString liveText() const;

private:
    void clearLive();
    void put(QIODevice& device, const QString& text);

    QIODevice& m_out;
    QIODevice& m_err;
    bool m_live;
    QTimer m_refresh;
    QString m_monitorLine;
    QString m_shown;
    QString m_outputNote;
    QString m_showNote;
    std::function<int()> m_step;
    std::function<int()> m_interval;
};
