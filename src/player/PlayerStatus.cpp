#include "PlayerStatus.h"

#include <QFileDevice>
#include <QIODevice>

namespace {
const char ClearLine[] = "\r\033[K";
}

PlayerStatus::PlayerStatus(QIODevice& out, QIODevice& err, bool live, QObject* parent)
    : QObject(parent), m_out(out), m_err(err), m_live(live) {
    m_refresh.setInterval(RefreshInterval);
    connect(&m_refresh, &QTimer::timeout, this, &PlayerStatus::refresh);
}

void PlayerStatus::watch(std::function<int()> step, std::function<int()> intervalMs) {
    m_step = std::move(step);
    m_interval = std::move(intervalMs);
    if (m_live) {
        m_refresh.start();
        refresh();
    }
}

QString PlayerStatus::liveText() const {
    const int step = m_step ? m_step() : 0;
    const QString line = QStringLiteral("Lépés: %1   Kimenet: %2   Sebesség: %3 ms")
                             .arg(step > 0 ? QString::number(step) : QStringLiteral("–"), 2)
                             .arg(m_monitorLine.isEmpty() ? QStringLiteral("––––––––––––") : m_monitorLine)
                             .arg(m_interval ? m_interval() : 0);
    const QString shown = m_showNote.isEmpty() ? line : m_showNote + QStringLiteral("   ") + line;
    return m_outputNote.isEmpty() ? shown : shown + QStringLiteral("   [") + m_outputNote + QLatin1Char(']');
}

void PlayerStatus::info(const QString& text) {
    clearLive();
    put(m_out, text + QLatin1Char('\n'));
    refresh();
}

void PlayerStatus::error(const QString& text) {
    clearLive();
    put(m_err, text + QLatin1Char('\n'));
    refresh();
}

void PlayerStatus::refresh() {
    if (!m_live || !m_refresh.isActive())
        return;
    const QString text = liveText();
    if (text == m_shown)
        return;
    m_shown = text;
    put(m_out, QLatin1String(ClearLine) + text);
}

void PlayerStatus::finish(const QString& text) {
    clearLive();
    m_refresh.stop();
    put(m_out, text + QLatin1Char('\n'));
}

void PlayerStatus::clearLive() {
    if (m_shown.isEmpty())
        return;
    m_shown.clear();
    put(m_out, QLatin1String(ClearLine));
}

void PlayerStatus::put(QIODevice& device, const QString& text) {
    device.write(text.toUtf8());
    if (auto* file = qobject_cast<QFileDevice*>(&device))
        file->flush();
}
