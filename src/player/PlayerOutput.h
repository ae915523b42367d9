#pragma once

#include "output/Port.h"

#include <QString>

#include <memory>

struct PlayerOutput {
    std::unique_ptr<Port> port;
    QString description; // for the start line, in Hungarian
};

// The output named by --output: "parport" or "parport:DEVICE" (the default when spec is empty)
// or "screen". Without a port, error says why in Hungarian. Nothing is opened or written here.
PlayerOutput createPlayerOutput(const QString& spec, QString& error);
