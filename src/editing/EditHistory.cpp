#include "EditHistory.h"

#include "sequencer/PlaybackEngine.h"

#include "sequencer/SpeedControl.h"

EditHistory::EditHistory(StepPattern& boxes, SpeedControl& speedBar, PlaybackEngine& engine, QObject* parent)
    : QObject(parent), m_boxes(boxes), m_speedBar(speedBar), m_engine(engine),
      m_lastBarValue(speedBar.value()), m_lastSpeed(engine.storedSpeed()) {}

EffectSnapshot EditHistory::capture() const {
    return EffectSnapshot::capture(m_boxes, m_speedBar, m_engine);
}

void EditHistory::recordWholeEffect(const QString& text, const std::function<void()>& change) {
    if (m_applying || m_recording) {
        change();
        return;
    }
    const EffectSnapshot before = capture();
    m_recording = true;
    change();
    m_recording = false;
    const EffectSnapshot after = capture();
    m_lastBarValue = after.barValue;
    m_lastSpeed = after.grid.speed();
    if (after != before)
        push(text, EditCommand::Other, before, after);
}

void EditHistory::boxClicked(int step, int channel, bool checked) {
    if (m_applying || m_recording)
        return;
    const EffectSnapshot after = capture();
    EffectSnapshot before = after;
    if (channel == 0)
        before.grid.setEnabled(step, !before.grid.enabled(step));
    else
        before.grid.setChannel(step, channel, !before.grid.channel(step, channel));
    const QString text =
        channel == 0
            ? QStringLiteral("%1. lépés %2").arg(step).arg(checked ? "be" : "ki")
            : QStringLiteral("%1. lépés, %2. csatorna %3").arg(step).arg(channel).arg(checked ? "be" : "ki");
    push(text, EditCommand::Other, before, after);
}

void EditHistory::speedBarChanged() {
    const int lastBar = m_lastBarValue;
    const std::optional<qint16> lastSpeed = m_lastSpeed;
    m_lastBarValue = m_speedBar.value();
    m_lastSpeed = m_engine.storedSpeed();
    if (m_applying || m_recording)
        return;
    const EffectSnapshot after = capture();
    EffectSnapshot before = after;
    before.barValue = lastBar;
    before.grid.setSpeed(lastSpeed);
    if (before != after)
        push(QStringLiteral("Sebesség"), EditCommand::Speed, before, after);
}

void EditHistory::push(const QString& text, EditCommand::Kind kind, const EffectSnapshot& before,
                       const EffectSnapshot& after) {
    m_stack.push(std::make_unique<EditCommand>(
        text, kind, before, after,
        [this](const EffectSnapshot& from, const EffectSnapshot& to) { apply(from, to); }));
}

void EditHistory::apply(const EffectSnapshot& from, const EffectSnapshot& to) {
    m_applying = true;
    applySnapshotChange(from, to, m_boxes, m_speedBar, m_engine);
    m_applying = false;
    m_lastBarValue = m_speedBar.value();
    m_lastSpeed = m_engine.storedSpeed();
}
