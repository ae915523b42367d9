#include "ServiceNotifier.h"

#include <cstddef>
#include <cstring>
#include <ctime>
#include <unistd.h>

ServiceNotifier::ServiceNotifier() {
    const QByteArray name = qgetenv("NOTIFY_SOCKET");
    // A path, or '@' for a name in the abstract namespace; anything else is not ours to use.
    if (name.size() < 2 || (name[0] != '/' && name[0] != '@') ||
        size_t(name.size()) > sizeof m_address.sun_path)
        return;
    m_address.sun_family = AF_UNIX;
    std::memcpy(m_address.sun_path, name.constData(), size_t(name.size()));
    if (name[0] == '@')
        m_address.sun_path[0] = '\0';
    m_length = socklen_t(offsetof(sockaddr_un, sun_path) + size_t(name.size()) + (name[0] == '/' ? 1 : 0));
    if (size_t(m_length) > sizeof m_address)
        m_length = sizeof m_address;
    m_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
}

ServiceNotifier::~ServiceNotifier() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool ServiceNotifier::notify(const QByteArray& message) {
    if (m_fd < 0)
        return false;
    return ::sendto(m_fd, message.constData(), size_t(message.size()), MSG_NOSIGNAL,
                    reinterpret_cast<const sockaddr*>(&m_address), m_length) == message.size();
}

void ServiceNotifier::ready(const QString& status) {
    QByteArray text = status.toUtf8();
    text.replace('\n', ' ');
    notify("READY=1\nSTATUS=" + text);
}

void ServiceNotifier::reloading() {
    // Newer systemd wants the time of the request with it.
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const qint64 usec = qint64(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
    notify("RELOADING=1\nMONOTONIC_USEC=" + QByteArray::number(usec));
}

void ServiceNotifier::stopping() {
    notify("STOPPING=1");
}
