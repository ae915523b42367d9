#pragma once

#include "output/Port.h"

#include <QString>

#include <memory>

struct PlayerOutput {
    std::unique_ptr<Port> port;
    QString description; // for the start line, in Hungarian
};

// The output named by --output, --ola-port and --ola-patch, as the window reads them (parport[:DEVICE],
// ola[:UNIVERSE[:ADDRESS]] or screen), but starting from the parallel port rather than the
// window's saved choice: a show is set by its own command line. Without a port, error says why
// in Hungarian. Nothing is opened or written here.
PlayerOutput createPlayerOutput(const QString& output, const QString& olaPort, const QString& olaPatch,
                                QString& error);
