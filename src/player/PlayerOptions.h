#pragma once

#include "output/OutputChoice.h"
#include "web/WebOptions.h"

#include <QString>
#include <QStringList>

#include <optional>

// What "ktr --play FILE [--output OUTPUT] [--ola-port PORT] [--speed MS] [--web [ADDR:]PORT]
// [--web-key-file FILE]" asks for; FILE may be a show (NAME.show), which takes --preview DAYS
// instead of --speed.
struct PlayerOptions {
    static constexpr int MaxPreviewDays = 366;

    QString file;
    // The output from --output and the outputs' own options, starting from the parallel port
    // rather than the window's saved choice: a show is set by its own command line.
    OutputChoice output;
    std::optional<int> speed;       // overrides the file's speed
    std::optional<int> previewDays; // a show's schedule over these days is printed, nothing played
    WebOptions web;                 // the page and the API, when asked for

    // True when the command line asks for the player rather than the window.
    static bool requested(int argc, char* argv[]);
    // Parses the whole command line (arguments[0] is the program). Returns false with a
    // Hungarian message when it is not a valid player command line.
    static bool parse(const QStringList& arguments, PlayerOptions& options, QString& error);
};
