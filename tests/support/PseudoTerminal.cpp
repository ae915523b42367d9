#include "PseudoTerminal.h"

#include <QtGlobal>

#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

PseudoTerminal::PseudoTerminal() {
    char name[64] = {};
    if (::openpty(&m_board, &m_terminal, name, nullptr, nullptr) < 0)
        qFatal("openpty: %s", strerror(errno));
    ::fcntl(m_board, F_SETFL, ::fcntl(m_board, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_board, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_terminal, F_SETFD, FD_CLOEXEC);
    m_path = QString::fromLocal8Bit(name);
}

PseudoTerminal::~PseudoTerminal() {
    unplug();
}

QByteArray PseudoTerminal::received() {
    char buffer[4096];
    ssize_t n;
    while (m_board >= 0 && (n = ::read(m_board, buffer, sizeof buffer)) > 0)
        m_received.append(buffer, n);
    return m_received;
}

void PseudoTerminal::clear() {
    received();
    m_received.clear();
}

void PseudoTerminal::unplug() {
    if (m_board >= 0)
        ::close(m_board);
    if (m_terminal >= 0)
        ::close(m_terminal);
    m_board = m_terminal = -1;
}
