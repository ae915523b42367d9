#pragma once

#include "effects/SaveQuestion.h"

// Answers the question about unsaved changes without a box, and counts how often it was asked.
class FakeSaveQuestion : public SaveQuestion {
public:
    explicit FakeSaveQuestion(Answer given = Answer::Discard) : answer(given) {}
    Answer ask() override {
        ++asked;
        return answer;
    }

    Answer answer;
    int asked = 0;
};
