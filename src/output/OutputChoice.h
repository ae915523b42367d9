#pragma once

#include "OutputBackend.h"

#include <QList>
#include <QString>

#include <memory>
#include <optional>

class QCommandLineOption;
class QCommandLineParser;
class QSettings;

// Which output the program plays to, with the settings of every output (each kept while another
// one is chosen). No widgets: the window and the player share it; what an output means lives in
// its backend (OutputRegistry.h).
struct OutputChoice {
    static inline const QString DefaultKind = QStringLiteral("parport");

    // The parallel port, every output with its defaults.
    OutputChoice();

    QString kind = DefaultKind;
    OutputSettings settings;

    QString setting(const QString& key) const { return settings.value(key); }
    int number(const QString& key) const { return settings.value(key).toInt(); }
    // The output of kind; the default one if the build has no such output.
    const OutputBackend& backend() const;

    bool operator==(const OutputChoice& other) const;
    bool operator!=(const OutputChoice& other) const { return !(*this == other); }

    // The backend for this choice; the default choice gives exactly the old port.
    std::unique_ptr<Port> createPort() const { return backend().createPort(settings); }
    // Where it plays, for the player's start line.
    QString description() const { return backend().description(settings); }

    // Group "output" of the program's settings file; values an output does not take fall back to
    // its defaults.
    static OutputChoice load(QSettings& settings);
    void save(QSettings& settings) const;
    // The program's own settings file (~/.config/ktr/ktr.ini).
    static OutputChoice loadSaved();
    void saveAsDefault() const;

    // Applies "--output NAME[:ARGUMENTS]". Returns false and sets error (Hungarian) when the value
    // is malformed; then nothing changes.
    bool applyOutputOption(const QString& value, QString* error);
    // Applies one output's own option (its name without the dashes), likewise.
    bool applyOption(const QString& name, const QString& value, QString* error);

    // --output and every output's own options, for a command-line parser; applyCommandLine() then
    // applies those that are set (an empty value is a mistake like any malformed one).
    static QList<QCommandLineOption> commandLineOptions();
    bool applyCommandLine(const QCommandLineParser& parser, QString* error);
    // The forms --output takes: "parport[:ESZKÖZ], ola[:UNIVERZUM[:CÍM]] vagy screen".
    static QString outputForms();
};

// A whole number from min to max, written plainly (no sign, no spaces); for the outputs' settings.
std::optional<int> outputNumber(const QString& text, int min, int max);
