#include "MessageBoxSaveQuestion.h"

#include <QDir>
#include <QMessageBox>
#include <QPushButton>

MessageBoxSaveQuestion::MessageBoxSaveQuestion(QWidget* parent, const QString& title)
    : m_parent(parent), m_title(title) {}

SaveQuestion::Answer MessageBoxSaveQuestion::ask() {
    QMessageBox box(QMessageBox::Question, m_title, QStringLiteral("Menti a változásokat?"),
                    QMessageBox::NoButton, m_parent);
    box.setObjectName(QStringLiteral("saveQuestion"));
    QPushButton* save = box.addButton(QStringLiteral("&Mentés"), QMessageBox::AcceptRole);
    QPushButton* discard = box.addButton(QStringLiteral("&Elvetés"), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(QStringLiteral("Mé&gse"), QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == save)
        return Answer::Save;
    if (box.clickedButton() == discard)
        return Answer::Discard;
    return Answer::Cancel;
}

bool MessageBoxSaveQuestion::overwriteChanged(const QString& path) {
    const QString text =
        QStringLiteral("„%1” megváltozott a lemezen, mióta megnyitotta vagy mentette.\nFelülírja?")
            .arg(QDir::toNativeSeparators(path));
    return QMessageBox::question(m_parent, m_title, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}
