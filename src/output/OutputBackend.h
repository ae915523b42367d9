#pragma once

#include "Port.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

struct OutputChoice;

// Settings of the outputs, by key. Every key belongs to one output and is also its key in the
// [output] group of ktr.ini, so an output's settings are kept while another one is chosen.
using OutputSettings = QMap<QString, QString>;

// An entry of the "Kimenet" menu: one output on one of the devices present now.
struct OutputEntry {
    QString label;           // "Párhuzamos port (/dev/parport0)"; ends in "…" when it has a dialog
    QString objectName;      // of its menu action
    OutputSettings settings; // what choosing it sets, on top of the current choice
    bool current = false;    // it is the current choice
    bool dialog = false;     // opens the output's settings dialog; OK makes the choice
};

// An option of the command line that belongs to one output (--ola-port, …).
struct OutputOption {
    QString name;
    QString description;
    QString valueName;
};

// A row of "ktr --list-outputs": the arguments that select it, and what it is, in Hungarian.
struct OutputListing {
    QString arguments;
    QString description;
};

// One kind of output, described once: its name and forms on the command line, its settings, the
// devices it offers now, the port it plays to, its text for the player. Each lives in its own
// folder and is registered with one ktr_register_output() line in its CMakeLists.txt; the menu,
// the command line of the window and of the player, the settings file and --list-outputs go
// through the registry (OutputRegistry.h). A dialog, if it has one, lives in the window library
// and is registered there by the output's name (ktr_register_output_dialog()).
class OutputBackend {
public:
    virtual ~OutputBackend() = default;

    // Its name in --output and in ktr.ini: "parport", "ola", …
    virtual QString name() const = 0;
    // Where it stands in the menu, the help and the listing; lower first.
    virtual int order() const = 0;
    // The forms of --output it takes, for the help: "parport[:ESZKÖZ]".
    virtual QString syntax() const = 0;

    // Its settings with their defaults.
    virtual OutputSettings defaults() const = 0;
    // Whether a stored value is one it takes; a bad one falls back to the default.
    virtual bool validSetting(const QString& key, const QString& value) const = 0;

    // "--output NAME" (arguments without a value) or "--output NAME:ARGUMENTS": sets what the
    // value says on settings. False with a Hungarian error; settings may then be half-changed
    // (the caller throws them away).
    virtual bool parse(const std::optional<QString>& arguments, OutputSettings& settings,
                       QString* error) const = 0;
    // Its own options, each applied to settings like parse().
    virtual QList<OutputOption> options() const { return {}; }
    virtual bool applyOption(const QString& /*name*/, const QString& /*value*/, OutputSettings& /*settings*/,
                             QString* /*error*/) const {
        return false;
    }

    // Its entries in "Kimenet" for the choice in force.
    virtual QList<OutputEntry> entries(const OutputChoice& current) const = 0;
    // The port that plays it. Opens nothing: a port opens its device at the first write.
    virtual std::unique_ptr<Port> createPort(const OutputSettings& settings) const = 0;
    // One line for the player's start: where it plays, in Hungarian.
    virtual QString description(const OutputSettings& settings) const = 0;
    // Rows for --list-outputs: what it can reach now. Whatever keeps it from looking goes into
    // problems, in Hungarian, one line each.
    virtual QList<OutputListing> listings(const OutputSettings& /*settings*/,
                                          QStringList* /*problems*/) const {
        return {};
    }
};
