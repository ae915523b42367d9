#pragma once

#include <QByteArray>
#include <QString>

// A real pseudo-terminal pair (openpty): a serial output opens the terminal side by its path, and
// the test reads the other side, as a board would, with the kernel's terminal layer in between.
class PseudoTerminal {
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // The terminal side: /dev/pts/N.
    QString path() const { return m_path; }
    // Every byte that has arrived since the last clear(). The kernel hands bytes to the other side
    // a moment after the write: compare with QTRY_COMPARE.
    QByteArray received();
    void clear();
    // The board goes away: both sides close, the device node with them, and writes to a descriptor
    // still open on the terminal side fail with EIO.
    void unplug();

private:
    int m_board = -1;    // the other side (master), read by the test
    int m_terminal = -1; // kept open so the node lives while the output closes and reopens it
    QString m_path;
    QByteArray m_received;
};
