#pragma once

#include "output/Port.h"

// "--output screen": takes every write and sends it nowhere, for trying a file.
class SilentPort : public Port {
protected:
    bool write(int, quint8) override { return true; }
};
