#include "QtStateGuard.h"

#include <QFile>
#include <QSaveFile>
#include <QSettings>

QString QtStateGuard::qtStateFile() {
    // The very settings object the dialog uses; reading its name writes nothing.
    return QSettings(QSettings::UserScope, QStringLiteral("QtProject")).fileName();
}

QtStateGuard::QtStateGuard() : m_path(qtStateFile()) {
    QFile file(m_path);
    m_existed = file.exists();
    if (m_existed && file.open(QIODevice::ReadOnly))
        m_bytes = file.readAll();
}

QtStateGuard::~QtStateGuard() {
    if (m_path.isEmpty())
        return;
    if (!m_existed) {
        QFile::remove(m_path);
        return;
    }
    QFile current(m_path);
    if (current.open(QIODevice::ReadOnly) && current.readAll() == m_bytes)
        return;
    current.close();
    QSaveFile restored(m_path);
    if (restored.open(QIODevice::WriteOnly) && restored.write(m_bytes) == m_bytes.size())
        restored.commit();
}
