#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// What "ktr --play FILE [--output OUTPUT] [--ola-port PORT] [--ola-patch DEVICE:PORT] [--speed MS]" asks for.
struct PlayerOptions {
    QString file;
    QString output; // empty: the parallel port
    QString olaPort;
    QString olaPatch;
    std::optional<int> speed; // overrides the file's speed

    // True when the command line asks for the player rather than the window.
    static bool requested(int argc, char* argv[]);
    // Parses the whole command line (arguments[0] is the program). Returns false with a
    // Hungarian message when it is not a valid player command line.
    static bool parse(const QStringList& arguments, PlayerOptions& options, QString& error);
};
