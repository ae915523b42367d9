#pragma once

#include "output/Port.h"

#include <sys/stat.h>

// The system calls the ppdev backend makes, gathered so that tests can make any of them fail.
struct PpdevCalls {
    int (*stat)(const char* path, struct stat* status);
    int (*open)(const char* path, int flags);
    int (*fstat)(int fd, struct stat* status);
    int (*ioctl)(int fd, unsigned long request, void* argument);
    int (*close)(int fd);

    static PpdevCalls system();
};

// The kernel's ppdev interface (/dev/parport0 is the port at 888).
// Opened at the first write, and only a character device of the ppdev driver: anything else
// (a tty, the watchdog, a file reached through "..") is refused before it is opened, since opening
// some devices already acts, and checked again on the open descriptor before any ioctl, in case
// the node was swapped in between. open() without any create flag, so a missing device node
// stays missing, and with O_NOCTTY, so nothing becomes the controlling terminal; PPCLAIM (bounded in time, so
// a port held by another driver cannot freeze the window); PPDATADIR 0 to drive the data lines. 888 goes out
// with PPWDATA, 890 with PPWCONTROL limited to its four output bits (the kernel writes them as given; bit 5
// would turn the data lines into inputs). The port is shared, not exclusive.
class PpdevPort : public Port {
public:
    explicit PpdevPort(QString device = QStringLiteral("/dev/parport0"),
                       PpdevCalls calls = PpdevCalls::system(), int claimTimeoutMs = 1000);
    ~PpdevPort() override;

    QString device() const { return m_device; }

protected:
    bool write(int address, quint8 value) override;

private:
    enum class Stage { Open, Kind, Claim, Direction, Write };

    bool openDevice();
    int claim();
    bool failAt(Stage stage, int error);
    void closeDevice();

    QString m_device;
    PpdevCalls m_calls;
    int m_claimTimeoutMs;
    int m_fd = -1;
};
