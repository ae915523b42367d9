#include "EffectCommands.h"

#include "EffectFile.h"
#include "FileChooser.h"
#include "editing/EditHistory.h"
#include "output/Module1.h"
#include "sequencer/Sequencer.h"

#include <QAbstractSlider>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QWidget>

EffectCommands::EffectCommands(QWidget& window, const QString& title, StepPattern& boxes, Module1& module,
                               Sequencer& sequencer, QAbstractSlider& speedBar, FileChooser& chooser,
                               QObject* parent)
    : QObject(parent), m_window(window), m_title(title), m_boxes(boxes), m_module(module),
      m_sequencer(sequencer), m_speedBar(speedBar), m_chooser(&chooser) {}

void EffectCommands::open() {
    const std::optional<QString> chosen = m_chooser->getOpenFileName();
    if (!chosen || chosen->isEmpty())
        return;
    // The path becomes current only once the file is in: a file that failed to open must not
    // be the one a later Save writes over.
    if (!readEffect(*chosen, QStringLiteral("Megnyitás")))
        return;
    m_module.effectPath = *chosen;
    m_exampleName.clear();
    updateCaption();
}

bool EffectCommands::openExample(const QString& path) {
    if (!readEffect(path, QStringLiteral("Minta megnyitása")))
        return false;
    m_module.effectPath.clear();
    m_exampleName = path.mid(path.lastIndexOf(u'/') + 1);
    updateCaption();
    return true;
}

void EffectCommands::save() {
    if (m_module.effectPath.isEmpty()) {
        saveAs();
        return;
    }
    writeEffectFile(m_module.effectPath);
}

void EffectCommands::saveAs() {
    const std::optional<QString> chosen = m_chooser->getSaveFileName();
    if (!chosen || chosen->isEmpty())
        return;
    // The current file is the one actually written, so that a later Save goes to the same file.
    const QString fileName = saveAsFileName(*chosen);
    if (QFileInfo::exists(fileName) && !m_chooser->confirmReplace(fileName))
        return;
    if (!writeEffectFile(fileName))
        return;
    m_module.effectPath = fileName;
    m_exampleName.clear();
    updateCaption();
}

void EffectCommands::updateCaption() {
    const QString& path = m_module.effectPath;
    if (path.isEmpty() && m_exampleName.isEmpty())
        return;
    const QString name = path.isEmpty() ? m_exampleName : path.mid(path.lastIndexOf(u'/') + 1);
    m_window.setWindowTitle(m_title + QString(11, u' ') + name);
}

QString EffectCommands::saveAsFileName(const QString& chosen) {
    return chosen.endsWith(QLatin1String("eff"), Qt::CaseSensitive) ? chosen : chosen + QLatin1String(".eff");
}

bool EffectCommands::readEffect(const QString& path, const QString& undoText) {
    QByteArray bytes;
    QString error;
    if (!loadEffectBytes(path, bytes, error)) {
        emit failed(error);
        return false;
    }
    const EffectParseResult parsed = parseEffect(bytes, path);
    if (!parsed.effect) {
        emit failed(parsed.error);
        return false;
    }
    const auto apply = [&] {
        applyEffect(*parsed.effect, m_boxes, m_speedBar, m_sequencer.timer(), m_module);
    };
    if (m_history)
        m_history->recordWholeEffect(undoText, apply);
    else
        apply();
    return true;
}

bool EffectCommands::writeEffectFile(const QString& path) {
    const QByteArray bytes = writeEffect(m_boxes, m_sequencer.speed, m_module);
    const bool existed = QFileInfo(path).isFile();
    // Written beside the target and renamed over it on commit; on failure the temporary file is
    // dropped and the old file stays as it was.
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    QString message =
        QStringLiteral("Nem sikerült menteni: „%1”\nA fájl nem hozható létre vagy nem írható (%2).")
            .arg(QDir::toNativeSeparators(path), file.errorString());
    if (existed)
        message += QStringLiteral("\nA korábbi fájl változatlan maradt.");
    emit failed(message);
    return false;
}
