#include "HeadlessPlayer.h"

#include "PlayerFile.h"
#include "PlayerStatus.h"
#include "effects/FileStamp.h"

HeadlessPlayer::HeadlessPlayer(Port& port, PlayerStatus& status, EngineThreading threading,
                               const QString& outputName, QObject* parent)
    : QObject(parent), m_status(status), m_port(port),
      m_engine(m_pattern, status, m_module, m_port, threading, this),
      m_speed([this](int value) { m_show.speedChanged(value); }),
      m_files([](const QString&) {}, QString(), m_pattern, m_module, m_engine, m_speed, m_unattended,
              m_unattended, this),
      m_show(m_pattern, m_speed, m_engine, m_files, m_port, outputName, this) {
    m_retry.setInterval(RetryInterval);
    connect(&m_retry, &QTimer::timeout, this, &HeadlessPlayer::retryOutput);
    connect(&m_engine, &PlaybackEngine::portFailed, this, &HeadlessPlayer::reportFailure);
}

void HeadlessPlayer::start(const Effect& effect, std::optional<int> speedOverride, const QString& path) {
    m_speedOverride = speedOverride;
    standBy();
    Effect used = effect;
    if (speedOverride)
        used.grid.setSpeed(qint16(*speedOverride));
    m_files.useEffect(used, path, path.isEmpty() ? std::nullopt : FileStamp::of(path));
    m_show.boxesChanged();
    m_show.start();
}

void HeadlessPlayer::standBy() {
    m_speed.reset(Sequencer::StartInterval);
    m_engine.load();
    m_retry.start();
}

bool HeadlessPlayer::reload(const QString& path) {
    QString error;
    // A reload is asked for right after an edit, maybe while the file is still being written.
    const std::optional<FileStamp> stamp = FileStamp::of(path);
    std::optional<Effect> effect = readEffectFile(path, error, m_readPause);
    if (!effect) {
        m_status.error(error + QStringLiteral("\nAz eddigi effekt fut tovább."));
        return false;
    }
    if (m_speedOverride)
        effect->grid.setSpeed(std::nullopt); // the speed stays as the command line set it
    m_files.useEffect(*effect, path, stamp);
    m_show.boxesChanged();
    m_status.info(QStringLiteral("Újraolvasva: „%1”, sebesség: %2 ms.").arg(path).arg(interval()));
    return true;
}

void HeadlessPlayer::stop() {
    m_engine.halt(); // no tick and no write after this
    m_retry.stop();
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
