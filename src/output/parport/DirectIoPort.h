#pragma once

#include "output/Port.h"

// Fallback for x86 machines without the ppdev device: direct port I/O (ioperm, outb) on the
// standard addresses 888..890. Needs root (CAP_SYS_RAWIO). On other processors every write fails
// with an explanation.
class DirectIoPort : public Port {
protected:
    bool write(int address, quint8 value) override;

private:
    bool m_permitted = false;
};
