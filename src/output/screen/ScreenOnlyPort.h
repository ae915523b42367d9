#pragma once

#include "output/Port.h"

// Plays on screen only: accepts every write, touches nothing and never fails.
class ScreenOnlyPort : public Port {
protected:
    bool write(int, quint8) override { return true; }
};
