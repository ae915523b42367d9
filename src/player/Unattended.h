#pragma once

#include "effects/FileChooser.h"
#include "effects/SaveQuestion.h"

// Nobody sits at the player to answer a file box or a question: whatever would need one is
// refused, and the clients that can answer (a remote) say so through the show's own door.
class Unattended : public FileChooser, public SaveQuestion {
public:
    std::optional<QString> getOpenFileName() override { return std::nullopt; }
    std::optional<QString> getSaveFileName() override { return std::nullopt; }
    bool confirmReplace(const QString&) override { return false; }
    Answer ask() override { return Answer::Cancel; }
    bool overwriteChanged(const QString&) override { return false; }
};
