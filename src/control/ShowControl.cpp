#include "ShowControl.h"

#include "editing/EditHistory.h"
#include "effects/EffectCommands.h"
#include "effects/EffectFile.h"
#include "effects/UnsavedChanges.h"
#include "output/Port.h"
#include "sequencer/PlaybackEngine.h"
#include "sequencer/SpeedControl.h"

#include <QDir>
#include <QFileInfo>

ShowControl::ShowControl(StepPattern& boxes, SpeedControl& speed, PlaybackEngine& engine,
                         EffectCommands& files, Port& port, QString outputName, QObject* parent)
    : QObject(parent), m_boxes(boxes), m_speed(speed), m_engine(engine), m_files(files), m_port(port),
      m_outputName(std::move(outputName)) {
    connect(&engine, &PlaybackEngine::stepPlayed, this, &ShowControl::onStepPlayed);
    connect(&engine, &PlaybackEngine::portFailed, this, &ShowControl::onPortFailed);
    connect(&files.changes(), &UnsavedChanges::modifiedChanged, this, &ShowControl::notify);
    connect(&files, &EffectCommands::fileUsed, this, &ShowControl::notify);
}

void ShowControl::startStop() {
    const bool starting = !m_engine.playing();
    m_engine.startStop();
    if (starting)
        m_step = 0;
    notify();
}

void ShowControl::start() {
    if (!m_engine.playing())
        startStop();
}

void ShowControl::stop() {
    if (m_engine.playing())
        startStop();
}

void ShowControl::outputsOff() {
    m_engine.outputsOff();
}

void ShowControl::restartWalk() {
    m_engine.rewind();
    m_step = 0;
}

ShowControl::Result ShowControl::setSpeed(int milliseconds) {
    if (milliseconds < SpeedMin || milliseconds > SpeedMax) {
        return {Outcome::Refused, QStringLiteral("A sebesség %1 és %2 ms között lehet, nem %3.")
                                      .arg(SpeedMin)
                                      .arg(SpeedMax)
                                      .arg(milliseconds)};
    }
    // Through the bar, whose change handler comes back to speedChanged() as a drag would.
    m_speed.setValue(milliseconds);
    return {};
}

ShowControl::Result ShowControl::setStep(int step, std::optional<bool> enabled,
                                         std::optional<EffectGrid::Channels> channels) {
    if (step < 1 || step > StepCount)
        return {Outcome::Refused,
                QStringLiteral("Lépés 1 és %1 között lehet, nem %2.").arg(StepCount).arg(step)};
    if (channels && (*channels & ~EffectGrid::AllChannels))
        return {Outcome::Refused, QStringLiteral("Egy lépésnek %1 csatornája van.").arg(ChannelCount)};
    const auto change = [&] {
        if (channels) {
            for (int channel = 1; channel <= ChannelCount; ++channel) {
                const int value = (*channels >> (channel - 1) & 1u) ? 1 : 0;
                if (m_boxes.channelBox(step, channel) != value)
                    m_boxes.setChannelBox(step, channel, value);
            }
        }
        if (enabled && m_boxes.enableBox(step) != (*enabled ? 1 : 0))
            m_boxes.setEnableBox(step, *enabled ? 1 : 0);
    };
    if (m_history)
        m_history->recordWholeEffect(QStringLiteral("%1. lépés (távvezérlés)").arg(step), change);
    else
        change();
    boxesChanged();
    return {};
}

QString ShowControl::folder() const {
    const QString path = m_files.currentPath();
    return path.isEmpty() ? QString() : QFileInfo(path).absolutePath();
}

QStringList ShowControl::effects() const {
    const QString dir = folder();
    if (dir.isEmpty())
        return {};
    QStringList names;
    const QFileInfoList entries =
        QDir(dir).entryInfoList({QStringLiteral("*.eff")}, QDir::Files | QDir::Readable, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (entry.isFile())
            names.append(entry.fileName());
    }
    return names;
}

ShowControl::Result ShowControl::open(const QString& name, bool discard) {
    if (name.isEmpty() || name.contains(u'/') || name.contains(u'\\') || name == QLatin1String(".") ||
        name == QLatin1String("..") || name.contains(QChar(0))) {
        return {Outcome::Refused,
                QStringLiteral("Csak a show mappájában lévő effekt nyitható meg, név szerint.")};
    }
    if (!effects().contains(name))
        return {Outcome::NotFound, QStringLiteral("Nincs ilyen effekt a show mappájában: „%1”.").arg(name)};
    if (m_files.isModified() && !discard) {
        return {
            Outcome::Conflict,
            QStringLiteral(
                "Az effekt mentetlen változásai elvesznének; mentse előbb, vagy nyissa meg elvetve őket.")};
    }
    return openPath(QDir(folder()).filePath(name));
}

ShowControl::Result ShowControl::openPath(const QString& path) {
    QString error;
    if (!m_files.openUnasked(path, &error))
        return {Outcome::Failed, error};
    boxesChanged();
    return {};
}

ShowControl::Result ShowControl::save(bool force) {
    QString error;
    const EffectCommands::SaveOutcome outcome = m_files.saveUnasked(force, &error);
    notify();
    switch (outcome) {
    case EffectCommands::SaveOutcome::Saved:
        return {};
    case EffectCommands::SaveOutcome::NoFile:
        return {Outcome::Refused, error};
    case EffectCommands::SaveOutcome::ChangedOnDisk:
        return {Outcome::Conflict, error};
    case EffectCommands::SaveOutcome::Failed:
        break;
    }
    return {Outcome::Failed, error};
}

bool ShowControl::running() const {
    return m_engine.playing();
}

EffectGrid ShowControl::grid() const {
    EffectGrid grid = EffectGrid::fromBoxes(m_boxes);
    grid.setSpeed(m_engine.storedSpeed());
    return grid;
}

OutputState ShowControl::output() const {
    OutputState state;
    state.name = m_outputName;
    state.ok = !m_port.failing();
    if (!state.ok)
        state.message = m_failure.isEmpty() ? QStringLiteral("A kimenet nem éri el az eszközét.") : m_failure;
    return state;
}

ShowState ShowControl::state() const {
    ShowState state;
    state.running = running();
    state.step = m_step;
    state.speed = m_speed.value();
    state.file = m_files.currentPath();
    state.modified = m_files.isModified();
    state.grid = grid();
    state.output = output();
    state.note = m_note;
    return state;
}

void ShowControl::setNote(const QString& note) {
    if (note == m_note)
        return;
    m_note = note;
    notify();
}

void ShowControl::setOutputName(const QString& name) {
    if (name == m_outputName)
        return;
    m_outputName = name;
    notify();
}

void ShowControl::boxesChanged() {
    m_engine.boxesChanged();
    m_files.changes().recheck();
    notify();
}

void ShowControl::speedChanged(int value) {
    m_engine.speedChanged(value);
    m_files.changes().recheck();
    notify();
}

void ShowControl::onStepPlayed(int step, EffectGrid::Channels channels) {
    m_step = step;
    emit stepPlayed(step, channels);
    const bool ok = !m_port.failing();
    if (ok != m_outputOk) {
        m_outputOk = ok;
        notify();
    }
}

void ShowControl::onPortFailed(const QString& message) {
    m_failure = message;
    m_outputOk = false;
    notify();
}

// A burst of changes (an Open sets every box) is one message to the clients.
void ShowControl::notify() {
    if (m_notifyPending)
        return;
    m_notifyPending = true;
    QMetaObject::invokeMethod(this, &ShowControl::sendState, Qt::QueuedConnection);
}

void ShowControl::sendState() {
    m_notifyPending = false;
    emit stateChanged();
}
