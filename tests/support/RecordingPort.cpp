#include "RecordingPort.h"

bool RecordingPort::write(int address, quint8 value) {
    if (!m_fault.isEmpty())
        return fail(m_fault);
    writes.append({address, value});
    return true;
}
