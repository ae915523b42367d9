#pragma once

#include "effects/SaveQuestion.h"

// Answers the questions about saving without a box, and counts how often they were asked.
class FakeSaveQuestion : public SaveQuestion {
public:
    explicit FakeSaveQuestion(Answer given = Answer::Discard) : answer(given) {}
    Answer ask() override {
        ++asked;
        return answer;
    }
    bool overwriteChanged(const QString&) override { return ++overwriteAsked, overwrite; }

    Answer answer;
    int asked = 0;
    bool overwrite = true;
    int overwriteAsked = 0;
};
