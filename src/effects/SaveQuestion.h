#pragma once

class QString;

// The questions about saving, behind an interface so that the commands can be driven without a
// modal box: "Menti a változásokat?", asked before unsaved changes would be dropped, and whether
// Save may write over a file that another program changed since it was opened or saved here.
class SaveQuestion {
public:
    enum class Answer { Save, Discard, Cancel };

    virtual ~SaveQuestion() = default;
    virtual Answer ask() = 0;
    virtual bool overwriteChanged(const QString& path) = 0;
};
