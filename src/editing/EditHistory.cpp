#include "EditHistory.h"

#include "sequencer/Sequencer.h"

#include "sequencer/SpeedControl.h"

EditHistory::EditHistory(StepPattern& boxes, SpeedControl& speedBar, Sequencer& sequencer, QObject* parent)
    : QObject(parent), m_boxes(boxes), m_speedBar(speedBar), m_sequencer(sequencer),
      m_lastBarValue(speedBar.value()), m_lastSpeed(sequencer.speed) {}

EffectSnapshot EditHistory::capture() const {
    return EffectSnapshot::capture(m_boxes, m_speedBar, m_sequencer);
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
    m_lastSpeed = after.speed;
    if (after != before)
        push(text, EditCommand::Other, before, after);
}

void EditHistory::boxClicked(int step, int channel, bool checked) {
    if (m_applying || m_recording)
        return;
    const EffectSnapshot after = capture();
    EffectSnapshot before = after;
    if (channel == 0)
        before.enables ^= 1u << (step - 1);
    else
        before.rows[step - 1] ^= quint16(1u << (channel - 1));
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
    m_lastSpeed = m_sequencer.speed;
    if (m_applying || m_recording)
        return;
    const EffectSnapshot after = capture();
    EffectSnapshot before = after;
    before.barValue = lastBar;
    before.speed = lastSpeed;
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
    applySnapshotChange(from, to, m_boxes, m_speedBar, m_sequencer);
    m_applying = false;
    m_lastBarValue = m_speedBar.value();
    m_lastSpeed = m_sequencer.speed;
}
