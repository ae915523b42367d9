#pragma once

#include <QString>

#include <optional>

// The file boxes of the File menu, behind an interface so that the commands can be driven
// without a modal dialog. Each call returns the path the user chose, or no value on cancel.
class FileChooser {
public:
    virtual ~FileChooser() = default;

    virtual std::optional<QString> getOpenFileName() = 0;
    virtual std::optional<QString> getSaveFileName() = 0;

    // Save As asks this itself, because the name it writes may differ from the one chosen.
    virtual bool confirmReplace(const QString& path) = 0;
};
