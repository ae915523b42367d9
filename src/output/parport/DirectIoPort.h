#pragma once

#include "output/Port.h"

#include <QByteArray>

#include <sys/types.h>

// The system calls direct port I/O makes and the kernel's list of claimed I/O ranges, gathered so
// that tests can stand in for root and for the machine.
struct DirectIoCalls {
    int (*ioperm)(unsigned long from, unsigned long count, int on);
    void (*outb)(unsigned char value, unsigned short address);
    QString ioportsPath;

    static DirectIoCalls system();
};

// Direct port I/O (ioperm, outb) on the first port's registers 888..890, for machines where the
// ppdev device cannot be had. Only on request (--output parport:direct), never as a fallback:
// writing 0x378 blind would write into whatever device really sits there. So the port must be
// listed in /proc/ioports as parport0 at 0378, with nothing else claiming the range, before the
// permission is asked for. The permission belongs to the thread that writes (the playing
// thread): it is given back there when the port is retired (another output chosen) or retried,
// and on destruction only if that runs on the same thread. Needs root (CAP_SYS_RAWIO); on
// processors without port I/O every write fails with an explanation.
class DirectIoPort : public Port {
public:
    // The device value that asks for direct I/O: parport:direct.
    static const QString DeviceValue;
    static bool isRequested(const QString& device) { return device == DeviceValue; }

    explicit DirectIoPort(DirectIoCalls calls = DirectIoCalls::system());
    ~DirectIoPort() override;

    // Empty when the text of /proc/ioports shows parport0 owning 0378-037a and nobody else in the
    // range; otherwise why not (Hungarian).
    static QString portMissingReason(const QByteArray& ioports);

protected:
    bool write(int address, quint8 value) override;
    void reset() override { dropPermission(); }
    void retiring() override { dropPermission(); }

private:
    bool refuse(const QString& cause);
    void dropPermission();

    DirectIoCalls m_calls;
    bool m_permitted = false;
    pid_t m_permittedThread = 0; // the kernel keeps the permission per thread
};
