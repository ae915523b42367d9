#include "EffectCommands.h"

#include "EffectFile.h"
#include "FileChooser.h"
#include "SaveQuestion.h"
#include "UnsavedChanges.h"
#include "editing/EditHistory.h"
#include "output/Module1.h"
#include "sequencer/PlaybackEngine.h"
#include "sequencer/Sequencer.h"

#include "sequencer/SpeedControl.h"
#include <QDir>
#include <QFileInfo>

EffectCommands::EffectCommands(CaptionSink showCaption, const QString& title, StepPattern& boxes,
                               Module1& module, PlaybackEngine& engine, SpeedControl& speedBar,
                               FileChooser& chooser, SaveQuestion& question, QObject* parent)
    : QObject(parent), m_showCaption(std::move(showCaption)), m_title(title), m_boxes(boxes),
      m_module(module), m_engine(engine), m_speedBar(speedBar), m_chooser(&chooser), m_question(&question),
      m_changes(new UnsavedChanges(boxes, speedBar, this)) {
    connect(m_changes, &UnsavedChanges::modifiedChanged, this, &EffectCommands::updateCaption);
}

void EffectCommands::open() {
    if (!mayDiscard())
        return;
    const std::optional<QString> chosen = m_chooser->getOpenFileName();
    if (!chosen || chosen->isEmpty())
        return;
    readAndUse(*chosen);
}

bool EffectCommands::openFile(const QString& path) {
    return mayDiscard() && readAndUse(path);
}

bool EffectCommands::openUnasked(const QString& path, QString* error) {
    return readAndUse(path, error);
}

EffectCommands::SaveOutcome EffectCommands::saveUnasked(bool force, QString* error) {
    const QString path = m_module.effectPath;
    if (path.isEmpty()) {
        *error = QStringLiteral("Nincs megnyitott effektfájl, amelybe menteni lehetne.");
        return SaveOutcome::NoFile;
    }
    // Not even forced: a link swapped in would send the bytes to another file.
    const QString redirected = PathTarget::redirection(path, m_diskTarget);
    if (!redirected.isEmpty()) {
        *error =
            QStringLiteral("Nem sikerült menteni: „%1”\n%2").arg(QDir::toNativeSeparators(path), redirected);
        return SaveOutcome::Failed;
    }
    if (!force && changedOnDisk(path)) {
        *error = QStringLiteral("A(z) „%1” fájl megváltozott a lemezen, mióta a program beolvasta.")
                     .arg(QDir::toNativeSeparators(path));
        return SaveOutcome::ChangedOnDisk;
    }
    if (!writeEffectFile(path, error))
        return SaveOutcome::Failed;
    makeCurrent(path, QString());
    return SaveOutcome::Saved;
}

void EffectCommands::useEffect(const Effect& effect, const QString& path,
                               const std::optional<FileStamp>& stamp) {
    recordAsOneStep(QStringLiteral("Megnyitás"),
                    [&] { applyEffect(effect, m_boxes, m_speedBar, intervalSetter(), m_module); });
    makeCurrent(path, QString());
    m_diskStamp = stamp;
    m_diskTarget = PathTarget::of(path);
}

std::function<void(int)> EffectCommands::intervalSetter() {
    return [this](int milliseconds) { m_engine.setInterval(milliseconds); };
}

bool EffectCommands::isModified() const {
    return m_changes->isModified();
}

QString EffectCommands::currentPath() const {
    return m_module.effectPath;
}

bool EffectCommands::report(const QString& message, QString* error) {
    if (error)
        *error = message;
    else
        emit failed(message);
    return false;
}

bool EffectCommands::readAndUse(const QString& path, QString* error) {
    // A show names effects and when they play; it is not one, and only the player plays it.
    if (path.endsWith(QLatin1String(".show"), Qt::CaseInsensitive))
        return report(
            QStringLiteral("Nem nyitható meg: „%1”\nEz egy műsorfájl (effektek sorrendje és ütemezése), "
                           "nem effekt. Az ablak csak effektfájlt (.eff) nyit meg; a műsort a lejátszó "
                           "játssza: ktr --play %2")
                .arg(QDir::toNativeSeparators(path), QFileInfo(path).fileName()),
            error);
    // The path becomes current only once the file is in: a file that failed to open must not
    // be the one a later Save writes over.
    // Stamped before it is read: a change while reading shows as a change at the next Save.
    const std::optional<FileStamp> stamp = FileStamp::of(path);
    const PathTarget target = PathTarget::of(path);
    if (!readEffect(path, QStringLiteral("Megnyitás"), error))
        return false;
    makeCurrent(path, QString());
    m_diskStamp = stamp;
    m_diskTarget = target;
    return true;
}

bool EffectCommands::openExample(const QString& path) {
    if (!mayDiscard() || !readEffect(path, QStringLiteral("Minta megnyitása")))
        return false;
    makeCurrent(QString(), path.mid(path.lastIndexOf(u'/') + 1));
    return true;
}

bool EffectCommands::save() {
    if (m_module.effectPath.isEmpty())
        return saveAs();
    // A link swapped in since Open is refused outright: answering the question below as root
    // would replace whatever file it names.
    const QString redirected = PathTarget::redirection(m_module.effectPath, m_diskTarget);
    if (!redirected.isEmpty()) {
        emit failed(QStringLiteral("Nem sikerült menteni: „%1”\n%2")
                        .arg(QDir::toNativeSeparators(m_module.effectPath), redirected));
        return false;
    }
    if (changedOnDisk(m_module.effectPath) && !m_question->overwriteChanged(m_module.effectPath))
        return false;
    if (!writeEffectFile(m_module.effectPath))
        return false;
    makeCurrent(m_module.effectPath, QString());
    return true;
}

bool EffectCommands::saveAs() {
    const std::optional<QString> chosen = m_chooser->getSaveFileName();
    if (!chosen || chosen->isEmpty())
        return false;
    // The current file is the one actually written, so that a later Save goes to the same file.
    const QString fileName = saveAsFileName(*chosen);
    // A link to no file is replaced like a file: the save would create what it names.
    const QFileInfo chosenFile(fileName);
    if ((chosenFile.exists() || chosenFile.isSymLink()) && !m_chooser->confirmReplace(fileName))
        return false;
    if (!writeEffectFile(fileName))
        return false;
    makeCurrent(fileName, QString());
    return true;
}

void EffectCommands::newEffect() {
    if (!mayDiscard())
        return;
    const auto clear = [this] {
        for (int step = 1; step <= StepCount; ++step) {
            for (int channel = 1; channel <= ChannelCount; ++channel)
                m_boxes.setChannelBox(step, channel, 0);
            m_boxes.setEnableBox(step, 0);
        }
        // Through the bar's change handler, as a click would; the interval follows in any case.
        m_speedBar.setValue(Sequencer::StartInterval);
        m_engine.setInterval(m_speedBar.value());
    };
    recordAsOneStep(QStringLiteral("Új"), clear);
    makeCurrent(QString(), QString());
}

// The effect in the window now is what path holds (or the example named, or nothing at all).
void EffectCommands::makeCurrent(const QString& path, const QString& exampleName) {
    m_module.effectPath = path;
    m_exampleName = exampleName;
    m_changes->markClean();
    updateCaption();
    if (!path.isEmpty())
        emit fileUsed(path);
}

// With a history, a change of the whole effect (an Open, Új) is one undo step.
void EffectCommands::recordAsOneStep(const QString& undoText, const std::function<void()>& change) {
    if (m_history)
        m_history->recordWholeEffect(undoText, change);
    else
        change();
}

bool EffectCommands::mayDiscard() {
    if (!m_changes->isModified())
        return true;
    switch (m_question->ask()) {
    case SaveQuestion::Answer::Save:
        return save();
    case SaveQuestion::Answer::Discard:
        return true;
    case SaveQuestion::Answer::Cancel:
        break;
    }
    return false;
}

void EffectCommands::updateCaption() {
    const QString& path = m_module.effectPath;
    QString caption = m_title;
    const QString name = path.isEmpty() ? m_exampleName : path.mid(path.lastIndexOf(u'/') + 1);
    if (!name.isEmpty())
        caption += QString(11, u' ') + name;
    if (m_changes->isModified())
        caption += u'*';
    m_showCaption(caption);
}

QString EffectCommands::saveAsFileName(const QString& chosen) {
    return chosen.endsWith(QLatin1String("eff"), Qt::CaseSensitive) ? chosen : chosen + QLatin1String(".eff");
}

bool EffectCommands::readEffect(const QString& path, const QString& undoText, QString* error) {
    QByteArray bytes;
    QString loadError;
    if (!loadEffectBytes(path, bytes, loadError))
        return report(loadError, error);
    const EffectParseResult parsed = parseEffect(bytes, path);
    if (!parsed.effect)
        return report(parsed.error, error);
    const auto apply = [&] { applyEffect(*parsed.effect, m_boxes, m_speedBar, intervalSetter(), m_module); };
    recordAsOneStep(undoText, apply);
    return true;
}

bool EffectCommands::writeEffectFile(const QString& path, QString* error) {
    const QByteArray bytes = writeEffect(m_boxes, m_engine.storedSpeed(), m_module);
    const FileReplacer::Result result = m_replacer->write(path, bytes);
    if (!result.written) {
        return report(QStringLiteral("Nem sikerült menteni: „%1”\n%2")
                          .arg(QDir::toNativeSeparators(path), result.error),
                      error);
    }
    m_diskStamp = result.stamp;
    m_diskTarget = PathTarget::of(path);
    return true;
}

bool EffectCommands::changedOnDisk(const QString& path) const {
    const std::optional<FileStamp> now = FileStamp::of(path);
    // A file that is gone loses nothing when written anew; a folder in its place is refused anyway.
    return now && now != m_diskStamp && QFileInfo(path).isFile();
}
