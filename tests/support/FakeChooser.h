#pragma once

#include "effects/FileChooser.h"

#include <QStringList>

// Answers the file boxes with a set name (or a cancel) and records what was asked.
class FakeChooser : public FileChooser {
public:
    std::optional<QString> getOpenFileName() override {
        ++openCalls;
        return answer;
    }
    std::optional<QString> getSaveFileName() override {
        ++saveCalls;
        return answer;
    }
    bool confirmReplace(const QString& path) override {
        replaceAsked << path;
        return replace;
    }

    std::optional<QString> answer; // no value: the user cancels
    bool replace = true;
    int openCalls = 0;
    int saveCalls = 0;
    QStringList replaceAsked;
};
