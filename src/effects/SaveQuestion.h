#pragma once

// "Menti a változásokat?", asked before unsaved changes would be dropped. Behind an interface so
// that the commands can be driven without a modal box.
class SaveQuestion {
public:
    enum class Answer { Save, Discard, Cancel };

    virtual ~SaveQuestion() = default;
    virtual Answer ask() = 0;
};
