#pragma once

#include "effects/FileChooser.h"

#include <QPointer>
#include <QWidget>

// The real file boxes: Qt's own (non-native) file dialog, so that it looks and behaves the same
// on every desktop. Each box opens with the file name "*.eff" and an effect-file filter, and
// starts where the previous one was left, in this run or the last one. Qt's own record of the
// dialog's state is not kept (QtStateGuard).
class DialogFileChooser : public FileChooser {
public:
    explicit DialogFileChooser(QWidget* parent);

    std::optional<QString> getOpenFileName() override;
    std::optional<QString> getSaveFileName() override;
    bool confirmReplace(const QString& path) override;

private:
    std::optional<QString> choose(bool saving);

    QPointer<QWidget> m_parent;
    QString m_directory;
};
