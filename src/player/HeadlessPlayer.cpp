#include "HeadlessPlayer.h"

#include "PlayerFile.h"
#include "PlayerStatus.h"

HeadlessPlayer::HeadlessPlayer(Port& port, PlayerStatus& status, EngineThreading threading, QObject* parent)
    : QObject(parent), m_status(status), m_port(port),
      m_engine(m_pattern, status, m_module, m_port, threading, this) {
    m_retry.setInterval(RetryInterval);
    connect(&m_retry, &QTimer::timeout, this, &HeadlessPlayer::retryOutput);
    connect(&m_engine.sequencer(), &Sequencer::portFailed, this, &HeadlessPlayer::reportFailure);
}

void HeadlessPlayer::start(const Effect& effect, std::optional<int> speedOverride) {
    m_speedOverride = speedOverride;
    m_barValue = Sequencer::StartInterval;
    m_engine.load();
    m_pattern.replace(effect);
    m_engine.boxesChanged();
    m_module.enablePattern = effect.enableLine;
    if (speedOverride)
        applySpeed(*speedOverride);
    else if (effect.speed)
        applySpeed(*effect.speed);
    m_engine.startStop();
    m_retry.start();
}

bool HeadlessPlayer::reload(const QString& path) {
    QString error;
    // A reload is asked for right after an edit, maybe while the file is still being written.
    const std::optional<Effect> effect = readEffectFile(path, error, m_readPause);
    if (!effect) {
        m_status.error(error + QStringLiteral("\nAz eddigi effekt fut tovább."));
        return false;
    }
    m_pattern.replace(*effect);
    m_engine.boxesChanged();
    m_module.enablePattern = effect->enableLine;
    if (!m_speedOverride && effect->speed && *effect->speed != m_barValue)
        applySpeed(*effect->speed);
    m_status.info(QStringLiteral("Újraolvasva: „%1”, sebesség: %2 ms.").arg(path).arg(interval()));
    return true;
}

void HeadlessPlayer::stop() {
    m_engine.halt(); // no tick and no write after this
    m_retry.stop();
}

// Like the speed bar: its change handler runs only for a new value, and opening a file sets the
// interval after it in any case.
void HeadlessPlayer::applySpeed(int value) {
    if (value != m_barValue) {
        m_barValue = value;
        m_engine.speedChanged(value);
    }
    sequencer().timer().setInterval(m_barValue);
}

void HeadlessPlayer::retryOutput() {
    if (m_port.failed()) {
        // A failure after a recovery, or a different one: the sequencer tells each message once.
        reportFailure(m_port.lastFailure());
        m_goodWritesAtRetry = m_port.goodWrites();
        // An output that latches its failures is opened afresh; one that does not comes back by
        // itself at a later write.
        if (m_port.latchesFailures())
            m_engine.retryOutput();
    } else if (m_outputDown && m_port.goodWrites() > m_goodWritesAtRetry) {
        m_outputDown = false;
        m_reportedFailure.clear();
        m_status.setOutputNote(QString());
        m_status.error(QStringLiteral("A kimenet újra működik."));
    }
}

// Only a repeat of the message on show is left out: a different failure (olad back, but the
// universe reaching no device) is the one the user must act on now.
void HeadlessPlayer::reportFailure(const QString& message) {
    if (!m_port.failed() || (m_outputDown && message == m_reportedFailure))
        return;
    m_outputDown = true;
    m_reportedFailure = message;
    const QString brief = m_port.lastBrief();
    m_status.setOutputNote(brief.isEmpty() ? QStringLiteral("kimenet nem elérhető") : brief);
    QString text = message;
    text.replace(QStringLiteral("\n\n"), QStringLiteral("\n"));
    m_status.error(text + QStringLiteral("\nA lejátszás folytatódik; a lejátszó másodpercenként újra "
                                         "megpróbálja a kimenetet."));
}
