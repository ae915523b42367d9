#include "ShowPlayer.h"

#include "ClockSync.h"
#include "SchedulePreview.h"
#include "ShowClock.h"
#include "control/ShowControl.h"
#include "player/PlayerStatus.h"

#include <QDir>

ShowPlayer::ShowPlayer(ShowControl& control, ShowClock& clock, const ClockSync& sync, PlayerStatus& status,
                       QObject* parent)
    : QObject(parent), m_control(control), m_clock(clock), m_sync(sync), m_status(status), m_scheduler(clock),
      m_playlist(control, clock) {
    m_timer.setInterval(CheckInterval);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &ShowPlayer::check);
    connect(&m_scheduler, &ShowScheduler::opened, this, &ShowPlayer::onOpened);
    connect(&m_scheduler, &ShowScheduler::closed, this, &ShowPlayer::onClosed);
    connect(&m_scheduler, &ShowScheduler::stateChanged, this, &ShowPlayer::updateNote);
    connect(&m_scheduler, &ShowScheduler::clockJumped, this, [this](qint64 seconds) {
        m_status.info(
            QStringLiteral("Az óra átállt (%1 s): az ütemezés az új idő szerint megy tovább.").arg(seconds));
    });
    connect(&m_playlist, &PlaylistRunner::effectChanged, this, &ShowPlayer::updateNote);
    connect(&m_playlist, &PlaylistRunner::problem, this,
            [this](const QString& message) { m_status.error(message); });
}

void ShowPlayer::take(const Show& show) {
    m_show = show;
    // The playlist first: a window that the new schedule opens starts the new playlist.
    m_playlist.setPlaylist(show.playlist);
    m_scheduler.setCalendar(ShowCalendar(show.schedule, show.location));
}

void ShowPlayer::begin(const Show& show) {
    take(show);
    // A board without a real-time clock boots with a stale time; a show that plays always does
    // not care.
    m_waiting = !show.schedule.isEmpty() && show.clockWait > 0 && !m_sync.synchronized();
    if (m_waiting) {
        m_waitStarted = m_clock.elapsed();
        m_status.info(
            QStringLiteral("Az óra még nincs szinkronizálva: a lejátszó legfeljebb %1 másodpercig vár "
                           "a pontos időre.")
                .arg(show.clockWait));
        updateNote();
    }
    m_timer.start();
    check();
}

bool ShowPlayer::reload(const QString& path) {
    QString error;
    // Each effect read as the effect player reads it: one may be being rewritten.
    const std::optional<Show> show = readShowFile(path, error);
    if (!show) {
        m_status.error(error + QStringLiteral("\nAz eddigi műsor fut tovább."));
        return false;
    }
    take(*show);
    m_status.info(QStringLiteral("Újraolvasva: „%1”: %2 effekt, %3 időablak-sor.")
                      .arg(QDir::toNativeSeparators(path))
                      .arg(show->playlist.size())
                      .arg(show->schedule.size()));
    updateNote();
    return true;
}

void ShowPlayer::check() {
    if (m_waiting) {
        if (m_sync.synchronized()) {
            m_status.info(QStringLiteral("Az óra szinkronizálva."));
        } else if (m_clock.elapsed() - m_waitStarted >= qint64(m_show.clockWait) * 1000) {
            m_status.error(
                QStringLiteral("Figyelmeztetés: az óra %1 másodperc után sem szinkronizált; az ütemezés "
                               "a rendszeróra szerint indul (most %2).")
                    .arg(m_show.clockWait)
                    .arg(localText(m_clock.now() / 1000, m_clock)));
        } else {
            return;
        }
        m_waiting = false;
    }
    m_scheduler.check();
    m_playlist.checkTime();
}

void ShowPlayer::onOpened() {
    m_playlist.begin();
    const ShowCalendar::State state = m_scheduler.state();
    if (m_scheduler.calendar().always())
        m_status.info(QStringLiteral("A műsor indul: %1.").arg(m_playlist.current().written));
    else
        m_status.info(QStringLiteral("Időablak %1-ig: a műsor indul (%2).")
                          .arg(localText(state.until, m_clock), m_playlist.current().written));
    updateNote();
}

void ShowPlayer::onClosed() {
    m_playlist.end();
    m_status.setMonitorLine(QString(12, QLatin1Char('0')));
    const ShowCalendar::State state = m_scheduler.state();
    m_status.info(state.until ? QStringLiteral("Szünet, a kimenetek kikapcsolva; a következő időablak: %1.")
                                    .arg(localText(state.until, m_clock))
                              : QStringLiteral("Szünet, a kimenetek kikapcsolva; több időablak nincs."));
    updateNote();
}

void ShowPlayer::updateNote() {
    QString note;
    if (m_waiting) {
        note = QStringLiteral("várakozás a pontos időre");
    } else if (m_playlist.playing()) {
        note = QStringLiteral("Szól: %1 (%2/%3)")
                   .arg(m_playlist.current().written)
                   .arg(m_playlist.index() + 1)
                   .arg(m_playlist.size());
        const ShowCalendar::State state = m_scheduler.state();
        if (!m_scheduler.calendar().always() && state.until)
            note += QStringLiteral(", eddig: ") + localText(state.until, m_clock);
    } else {
        const ShowCalendar::State state = m_scheduler.state();
        note = state.until
                   ? QStringLiteral("szünet, a következő időablak: ") + localText(state.until, m_clock)
                   : QStringLiteral("szünet, több időablak nincs");
    }
    if (note == m_note)
        return;
    m_note = note;
    m_control.setNote(note);
    m_status.setShowNote(note);
    m_status.refresh();
}
