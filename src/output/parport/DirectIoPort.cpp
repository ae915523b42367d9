#include "DirectIoPort.h"

#include <cerrno>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define KTR_HAS_PORT_IO 1
#endif

namespace {
const QString deviceName = QStringLiteral("0x378 (közvetlen portelérés)");
}

bool DirectIoPort::write(int address, quint8 value) {
#ifdef KTR_HAS_PORT_IO
    if (!m_permitted) {
        if (ioperm(DataAddress, 3, 1) != 0) {
            return fail(OutputFailure{
                OutputFailure::ParallelPort, deviceName,
                QStringLiteral("nincs /dev/parport0, és a közvetlen portelérést a rendszer nem engedte (%1).")
                    .arg(QString::fromLocal8Bit(strerror(errno))),
                QStringLiteral("Töltse be a ppdev modult (sudo modprobe ppdev), hogy a /dev/parport0 eszköz "
                               "megjelenjen, és vegye fel a felhasználót az lp csoportba.")});
        }
        m_permitted = true;
    }
    outb(value, static_cast<unsigned short>(address));
    return true;
#else
    (void)address;
    (void)value;
    return fail(
        OutputFailure{OutputFailure::ParallelPort, deviceName,
                      QStringLiteral("nincs /dev/parport0, és ezen a gépen nincs közvetlen portelérés."),
                      QStringLiteral("Töltse be a ppdev modult (sudo modprobe ppdev).")});
#endif
}
