#include "DialogFileChooser.h"

#include "QtStateGuard.h"
#include "effects/FileSettings.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace {

const QString Pattern = QStringLiteral("*.eff");

} // namespace

DialogFileChooser::DialogFileChooser(QWidget* parent) : m_parent(parent) {}

std::optional<QString> DialogFileChooser::getOpenFileName() {
    return choose(false);
}

std::optional<QString> DialogFileChooser::getSaveFileName() {
    return choose(true);
}

std::optional<QString> DialogFileChooser::choose(bool saving) {
    const QtStateGuard keepQtStateOut; // declared first: outlives the dialog
    if (m_directory.isEmpty())
        m_directory = FileSettings::lastFolder();
    QFileDialog dialog(m_parent, saving ? QStringLiteral("Mentés másként") : QStringLiteral("Megnyitás"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // Save As decides the final name (it may add ".eff") and asks about replacing that one.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters({QStringLiteral("Effektfájlok (*.eff)"), QStringLiteral("Minden fájl (*)")});
    if (!m_directory.isEmpty())
        dialog.setDirectory(m_directory);
    dialog.selectFile(Pattern);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    m_directory = dialog.directory().absolutePath();
    FileSettings::setLastFolder(m_directory);
    const QString chosen = dialog.selectedFiles().constFirst();
    // The pattern left in the name field is no name: take it as cancel.
    if (chosen.isEmpty() || QFileInfo(chosen).fileName() == Pattern)
        return std::nullopt;
    return chosen;
}

bool DialogFileChooser::confirmReplace(const QString& path) {
    const auto answer = QMessageBox::question(
        m_parent, QStringLiteral("Mentés másként"),
        QStringLiteral("„%1” már létezik.\nLecseréli?").arg(QDir::toNativeSeparators(path)),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    return answer == QMessageBox::Yes;
}
